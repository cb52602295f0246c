#include "platform/files/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>

#include "platform/files/drives.h"

namespace orvex::files {
namespace {

namespace fs = std::filesystem;

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool equal_nocase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// NTFS keeps names in the order of their upper-case form: "_" sorts after the letters.
bool less_nocase(const std::string& a, const std::string& b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(upper(a[i]));
    const auto cb = static_cast<unsigned char>(upper(b[i]));
    if (ca != cb) return ca < cb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;  // same name but for case: keep a fixed order
}

bool wildcard_match(std::string_view pattern, std::string_view name) {
  // Iterative '*' backtracking: linear enough for file names.
  std::size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || lower(pattern[p]) == lower(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      mark = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

struct DirCloser {
  void operator()(DIR* d) const { closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  // close() reports late write errors (NFS); callers that wrote check it.
  bool close_checked() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

// The on-disk spelling of name inside dir, or nullopt when nothing matches.
std::optional<std::string> find_nocase(const fs::path& dir, const std::string& name) {
  struct stat st{};
  if (::lstat((dir / name).c_str(), &st) == 0) return name;  // exact spelling wins
  DirHandle d(::opendir(dir.c_str()));
  if (!d) return std::nullopt;
  std::optional<std::string> best;
  while (dirent* e = ::readdir(d.get())) {
    std::string_view n(e->d_name);
    if (equal_nocase(n, name) && (!best || std::string(n) < *best)) best = std::string(n);
  }
  return best;
}

std::string errno_text(int err) {
  switch (err) {
    case ENOENT: return "nicht vorhanden";
    case EACCES:
    case EPERM: return "keine Berechtigung";
    case ENOSPC: return "kein Platz auf dem Datenträger";
    case EISDIR: return "ist ein Ordner";
    case ENOTDIR: return "Ordner nicht vorhanden";
    case EROFS: return "Datenträger nur lesbar";
    case EXDEV: return "anderes Dateisystem";
    default: return std::strerror(err);
  }
}

// Built by appending: g++ 12 at -O3 misreports "a" + s + "b" (-Wrestrict).
std::string quoted(std::string_view s) {
  std::string q;
  q.reserve(s.size() + 2);
  q += '"';
  q += s;
  q += '"';
  return q;
}

// A resolve() that reports path errors as a Status for the file operations.
struct Resolved {
  fs::path path;
  std::string error;
};
Resolved resolve_for(std::string_view winpath) {
  try {
    return {resolve(winpath), {}};
  } catch (const PathError& e) {
    return {{}, e.what()};
  }
}

bool write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

fs::path temp_beside(const fs::path& target) {
  static std::atomic<unsigned> counter{0};
  std::string name = ".";
  name += target.filename().string();
  name += ".tmp";
  name += std::to_string(::getpid());
  name += '-';
  name += std::to_string(counter.fetch_add(1));
  return target.parent_path() / name;
}

// Writes through a temp file beside target: produce fills it; then fsync and rename.
// Returns 0 or the errno of the failing step; the temp never stays behind.
template <typename Produce>
int write_via_temp(const fs::path& target, Produce produce) {
  const fs::path temp = temp_beside(target);
  Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
  if (fd.get() < 0) return errno;
  int err = produce(fd.get());
  if (err == 0 && ::fsync(fd.get()) != 0) err = errno;
  if (!fd.close_checked() && err == 0) err = errno;
  if (err == 0 && ::rename(temp.c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) ::unlink(temp.c_str());
  return err;
}

int copy_fd(int from, int to) {
  char buf[1 << 16];
  for (;;) {
    const ssize_t n = ::read(from, buf, sizeof buf);
    if (n == 0) return 0;
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (!write_all(to, buf, static_cast<std::size_t>(n))) return errno;
  }
}

// Copies source (a regular file) onto target through a temp name; 0 or errno.
int copy_to(const fs::path& source, const fs::path& target) {
  Fd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) return errno;
  struct stat st{};
  if (::fstat(in.get(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  return write_via_temp(target, [&](int out) { return copy_fd(in.get(), out); });
}

}  // namespace

fs::path resolve(std::string_view winpath) {
  const fs::path mapped = map_path(winpath);
  fs::path result;
  bool lookup = true;  // false once a component is missing: nothing below it exists
  for (const fs::path& part : mapped) {
    const std::string name = part.string();
    if (result.empty() && part.has_root_directory()) {
      result = part;
      continue;
    }
    if (name == "." || name == ".." || name.empty() || !lookup) {
      result /= part;
      continue;
    }
    const fs::path dir = result.empty() ? fs::path(".") : result;
    if (auto found = find_nocase(dir, name)) {
      result /= *found;
    } else {
      result /= part;
      lookup = false;
    }
  }
  return result;
}

std::vector<DirEntry> list(std::string_view winpattern) {
  std::size_t sep = winpattern.find_last_of("\\/");
  std::string folder;
  std::string_view pattern;
  if (sep != std::string_view::npos) {
    folder = std::string(winpattern.substr(0, sep + 1));
    pattern = winpattern.substr(sep + 1);
  } else if (winpattern.size() >= 2 && winpattern[1] == ':') {
    folder = std::string(winpattern.substr(0, 2));
    pattern = winpattern.substr(2);
  } else {
    folder = ".";
    pattern = winpattern;
  }
  const fs::path dir = resolve(folder);
  std::vector<DirEntry> entries;
  DirHandle d(::opendir(dir.c_str()));
  if (!d) return entries;
  const int dfd = ::dirfd(d.get());
  while (dirent* e = ::readdir(d.get())) {
    std::string_view name(e->d_name);
    if (name == "." || name == ".." || !wildcard_match(pattern, name)) continue;
    if (e->d_type != DT_REG && e->d_type != DT_LNK && e->d_type != DT_UNKNOWN) continue;
    struct stat st{};
    if (::fstatat(dfd, e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
    entries.push_back({std::string(name), static_cast<std::uintmax_t>(st.st_size)});
  }
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& a, const DirEntry& b) { return less_nocase(a.name, b.name); });
  return entries;
}

bool file_exists(std::string_view winpath) {
  struct stat st{};
  return ::stat(resolve(winpath).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool dir_exists(std::string_view winpath) {
  struct stat st{};
  return ::stat(resolve(winpath).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string read_file(std::string_view winpath) { return try_read_file(winpath).value_or(std::string()); }

std::optional<std::string> try_read_file(std::string_view winpath) {
  Fd fd(::open(resolve(winpath).c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return std::nullopt;
  struct stat st{};
  if (::fstat(fd.get(), &st) != 0 || S_ISDIR(st.st_mode)) return std::nullopt;
  std::string bytes;
  if (S_ISREG(st.st_mode)) bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buf[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return std::nullopt;
    }
    bytes.append(buf, static_cast<std::size_t>(n));
  }
  return bytes;
}

Status write_file(std::string_view winpath, std::string_view bytes) {
  const Resolved target = resolve_for(winpath);
  if (!target.error.empty()) return Status::failure(target.error);
  const int err = write_via_temp(target.path, [&](int fd) {
    return write_all(fd, bytes.data(), bytes.size()) ? 0 : errno;
  });
  if (err != 0) {
    return Status::failure("Datei " + quoted(winpath) + " konnte nicht geschrieben werden: " + errno_text(err) + ".");
  }
  return Status::success();
}

Status copy_file(std::string_view from, std::string_view to) {
  const Resolved source = resolve_for(from);
  if (!source.error.empty()) return Status::failure(source.error);
  const Resolved target = resolve_for(to);
  if (!target.error.empty()) return Status::failure(target.error);
  if (const int err = copy_to(source.path, target.path); err != 0) {
    return Status::failure("Datei " + quoted(from) + " konnte nicht nach " + quoted(to) +
                           " kopiert werden: " + errno_text(err) + ".");
  }
  return Status::success();
}

Status move_file(std::string_view from, std::string_view to) {
  const Resolved source = resolve_for(from);
  if (!source.error.empty()) return Status::failure(source.error);
  const Resolved target = resolve_for(to);
  if (!target.error.empty()) return Status::failure(target.error);
  const auto fail = [&](int err) {
    return Status::failure("Datei " + quoted(from) + " konnte nicht nach " + quoted(to) +
                           " verschoben werden: " + errno_text(err) + ".");
  };
  struct stat st{};
  if (::stat(source.path.c_str(), &st) != 0) return fail(errno);
  if (!S_ISREG(st.st_mode)) return fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
  if (::rename(source.path.c_str(), target.path.c_str()) == 0) return Status::success();
  if (errno != EXDEV) return fail(errno);
  // Another file system: the source goes only once the copy is safely on disk.
  if (const int err = copy_to(source.path, target.path); err != 0) return fail(err);
  if (::unlink(source.path.c_str()) != 0) {
    const int err = errno;
    return Status::failure("Datei " + quoted(from) + " wurde nach " + quoted(to) +
                           " kopiert, konnte aber nicht gelöscht werden: " + errno_text(err) + ".");
  }
  return Status::success();
}

Status delete_file(std::string_view winpath) {
  const Resolved target = resolve_for(winpath);
  if (!target.error.empty()) return Status::failure(target.error);
  const auto fail = [&](const std::string& why) {
    return Status::failure("Datei " + quoted(winpath) + " konnte nicht gelöscht werden: " + why + ".");
  };
  struct stat st{};
  if (::lstat(target.path.c_str(), &st) != 0) return fail(errno_text(errno));
  // A link is removed itself, never what it points to.
  if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
    return fail(S_ISDIR(st.st_mode) ? "ist ein Ordner" : "keine gewöhnliche Datei");
  }
  if (::unlink(target.path.c_str()) != 0) return fail(errno_text(errno));
  return Status::success();
}

Status make_dir(std::string_view winpath) {
  const Resolved target = resolve_for(winpath);
  if (!target.error.empty()) return Status::failure(target.error);
  std::error_code ec;
  fs::create_directories(target.path, ec);
  if (ec || !fs::is_directory(target.path, ec)) {
    return Status::failure("Ordner " + quoted(winpath) + " konnte nicht angelegt werden: " +
                           (ec ? errno_text(ec.value()) : std::string("eine Datei dieses Namens ist im Weg")) + ".");
  }
  return Status::success();
}

}  // namespace orvex::files

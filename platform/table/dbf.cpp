#include "platform/table/dbf.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <set>
#include <thread>

#include "platform/table/little_endian.h"
#include "platform/text/codepage.h"

namespace orvex::table {
namespace {

namespace fs = std::filesystem;

constexpr off_t kRecordLockBase = 1'000'000'000;
// Appends serialise on the byte of the (non-existent) record 0.
constexpr off_t kHeaderLock = kRecordLockBase;
// Far beyond 1,000,000,000 + the largest 32-bit record number.
constexpr off_t kShareLock = 0x10000000000LL;
constexpr unsigned char kEndMark = 0x1A;
constexpr unsigned char kCp850Driver = 0x02;

bool iequal(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

void today(unsigned char* p) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  p[0] = static_cast<unsigned char>(tm.tm_year);  // years since 1900, as dBase counts
  p[1] = static_cast<unsigned char>(tm.tm_mon + 1);
  p[2] = static_cast<unsigned char>(tm.tm_mday);
}

// Returns 0 on success, else errno.
int ofd_lock(int fd, short type, off_t start) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = start;
  fl.l_len = 1;
  fl.l_pid = 0;
  return fcntl(fd, F_OFD_SETLK, &fl) == 0 ? 0 : errno;
}

bool is_conflict(int err) { return err == EAGAIN || err == EACCES; }

bool pread_all(int fd, void* buf, std::size_t n, off_t at) {
  auto* p = static_cast<char*>(buf);
  while (n > 0) {
    ssize_t r = ::pread(fd, p, n, at);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<std::size_t>(r);
    at += r;
  }
  return true;
}

bool pwrite_all(int fd, const void* buf, std::size_t n, off_t at) {
  const auto* p = static_cast<const char*>(buf);
  while (n > 0) {
    ssize_t r = ::pwrite(fd, p, n, at);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    p += r;
    n -= static_cast<std::size_t>(r);
    at += r;
  }
  return true;
}

std::string damaged(const fs::path& file, const std::string& why) {
  return "Tabelle " + file.string() + " ist beschädigt: " + why;
}

}  // namespace

fs::path locate_file(const fs::path& file, std::string_view extension) {
  fs::path wanted = file;
  if (!wanted.has_extension()) {
    std::string upper(extension);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    wanted += upper;
  }
  std::error_code ec;
  if (fs::exists(wanted, ec)) return wanted;
  fs::path dir = wanted.parent_path();
  std::string name = wanted.filename().string();
  for (const auto& entry : fs::directory_iterator(dir.empty() ? fs::path(".") : dir, ec)) {
    if (iequal(entry.path().filename().string(), name)) return dir / entry.path().filename();
  }
  return wanted;
}

struct Dbf::Impl {
  fs::path path;
  int fd = -1;
  bool read_only = false;
  bool exclusive = false;
  std::string warning;

  std::vector<FieldDef> fields;
  std::vector<std::size_t> offsets;  // of each field within the record
  std::uint32_t header_len = 0;
  std::uint32_t record_len = 0;

  std::uint32_t count = 0;  // as last read
  bool count_checked = false;
  std::uint32_t recno = 1;
  bool eof = true;
  bool bof = true;
  std::string record;  // the current record's bytes, deletion flag first
  bool dirty = false;
  bool touched = false;  // something was written: the header date is due
  std::set<std::uint32_t> locks;

  int memo_fd = -1;

  ~Impl() {
    if (memo_fd >= 0) ::close(memo_fd);
    if (fd >= 0) ::close(fd);  // drops every OFD lock of this description
  }

  std::string blank() const { return std::string(record_len, ' '); }

  off_t record_offset(std::uint32_t n) const {
    return static_cast<off_t>(header_len) + static_cast<off_t>(n - 1) * record_len;
  }

  std::uint32_t read_count() {
    unsigned char b[4];
    if (!pread_all(fd, b, 4, 4)) throw TableError("Tabelle " + path.string() + " kann nicht gelesen werden");
    std::uint32_t header_count = u32(b);
    // Files only grow: a count already checked against the size needs no fstat again.
    if (header_count == count && count_checked) return count;
    struct stat st {};
    if (fstat(fd, &st) != 0) throw TableError("Tabelle " + path.string() + " kann nicht gelesen werden");
    std::uint64_t room = st.st_size > static_cast<off_t>(header_len)
                             ? static_cast<std::uint64_t>(st.st_size - header_len) / record_len
                             : 0;
    count = static_cast<std::uint32_t>(std::min<std::uint64_t>(header_count, room));
    count_checked = count == header_count;
    if (!count_checked && warning.empty())
      warning = "Tabelle " + path.string() + ": Kopf nennt " + std::to_string(header_count) +
                " Sätze, die Datei enthält nur " + std::to_string(count);
    return count;
  }

  void flush() {
    if (!dirty) return;
    dirty = false;
    if (!pwrite_all(fd, record.data(), record.size(), record_offset(recno)))
      throw TableError("Satz " + std::to_string(recno) + " in " + path.string() + " kann nicht geschrieben werden");
    touched = true;
  }

  void stamp_header() {
    if (!touched) return;
    unsigned char d[3];
    today(d);
    if (!pwrite_all(fd, d, 3, 1)) throw TableError("Kopf von " + path.string() + " kann nicht geschrieben werden");
    touched = false;
  }

  void load(std::uint32_t n) {
    flush();
    read_count();
    if (n >= 1 && n <= count) {
      record.assign(record_len, ' ');
      if (!pread_all(fd, record.data(), record_len, record_offset(n))) record = blank();
      recno = n;
      eof = false;
    } else {
      record = blank();
      recno = count + 1;
      eof = true;
    }
  }

  int index_of(std::string_view name) const {
    for (std::size_t i = 0; i < fields.size(); ++i)
      if (iequal(fields[i].name, name)) return static_cast<int>(i);
    return -1;
  }

  int require(std::string_view name) const {
    int i = index_of(name);
    if (i < 0) throw TableError("Feld " + std::string(name) + " fehlt in Tabelle " + path.string());
    return i;
  }

  std::string read_memo(std::string_view block_text);
};

std::string Dbf::Impl::read_memo(std::string_view block_text) {
  std::string digits;
  for (char c : block_text)
    if (c >= '0' && c <= '9') digits.push_back(c);
  if (digits.empty()) return {};
  std::uint64_t block = std::stoull(digits);
  if (memo_fd < 0) {
    fs::path dbt = locate_file(fs::path(path).replace_extension(), ".dbt");
    memo_fd = ::open(dbt.c_str(), O_RDONLY | O_CLOEXEC);
    if (memo_fd < 0) throw TableError("Memodatei " + dbt.string() + " nicht gefunden");
  }
  // dBase III memos end with 0x1A; bound the read so a damaged file cannot run away.
  std::string text;
  char buf[512];
  off_t at = static_cast<off_t>(block * 512);
  while (text.size() < (1u << 20)) {
    ssize_t r = ::pread(memo_fd, buf, sizeof buf, at);
    if (r <= 0) break;
    const char* end = static_cast<const char*>(std::memchr(buf, kEndMark, static_cast<std::size_t>(r)));
    if (end) {
      text.append(buf, static_cast<std::size_t>(end - buf));
      break;
    }
    text.append(buf, static_cast<std::size_t>(r));
    at += r;
  }
  return text::cp850_to_utf8(text);
}

Dbf::Dbf(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Dbf::~Dbf() {
  try {
    if (!impl_->read_only) {
      impl_->flush();
      impl_->stamp_header();
    }
  } catch (const TableError&) {
    // A destructor cannot report; commit() is where write errors surface.
  }
}

void Dbf::create(const fs::path& file_in, const std::vector<FieldDef>& fields) {
  fs::path file = locate_file(file_in, ".dbf");
  if (fields.empty()) throw TableError("Tabelle " + file.string() + " braucht mindestens ein Feld");
  std::vector<unsigned char> h(32 + 32 * fields.size() + 2, 0);
  std::uint32_t record_len = 1;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const FieldDef& f = fields[i];
    char t = static_cast<char>(std::toupper(static_cast<unsigned char>(f.type)));
    bool ok = !f.name.empty() && f.name.size() <= 10 && std::string_view("CNDL").find(t) != std::string_view::npos &&
              f.length >= 1 && f.length <= 254 && f.decimals >= 0 && f.decimals <= 15;
    if (t == 'D') ok = ok && f.length == 8;
    if (t == 'L') ok = ok && f.length == 1;
    if (!ok) throw TableError("Ungültiges Feld " + f.name + " für Tabelle " + file.string());
    unsigned char* d = &h[32 + 32 * i];
    for (std::size_t k = 0; k < f.name.size(); ++k)
      d[k] = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(f.name[k])));
    d[11] = static_cast<unsigned char>(t);
    d[16] = static_cast<unsigned char>(f.length);
    d[17] = static_cast<unsigned char>(t == 'N' ? f.decimals : 0);
    record_len += static_cast<std::uint32_t>(f.length);
  }
  std::uint32_t header_len = static_cast<std::uint32_t>(32 + 32 * fields.size() + 1);
  h[0] = 0x03;
  today(&h[1]);
  put32(&h[4], 0);
  put16(&h[8], header_len);
  put16(&h[10], record_len);
  h[29] = kCp850Driver;
  h[header_len - 1] = 0x0D;
  h[header_len] = kEndMark;

  int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    if (errno == EEXIST) throw TableError("Tabelle " + file.string() + " gibt es schon");
    throw TableError("Tabelle " + file.string() + " kann nicht angelegt werden: " + std::strerror(errno));
  }
  bool ok = pwrite_all(fd, h.data(), h.size(), 0) && ::fdatasync(fd) == 0;
  ::close(fd);
  if (!ok) throw TableError("Tabelle " + file.string() + " kann nicht geschrieben werden");
}

std::unique_ptr<Dbf> Dbf::open(const fs::path& file_in, OpenMode mode, bool read_only) {
  auto impl = std::make_unique<Impl>();
  fs::path file = locate_file(file_in, ".dbf");
  impl->path = file;
  impl->read_only = read_only;
  impl->exclusive = mode == OpenMode::Exclusive;
  // An exclusive hold is a write lock, which needs a descriptor open for writing.
  int flags = (read_only && !impl->exclusive ? O_RDONLY : O_RDWR) | O_CLOEXEC;
  impl->fd = ::open(file.c_str(), flags);
  if (impl->fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) throw TableError("Tabelle " + file.string() + " nicht gefunden");
    throw TableError("Tabelle " + file.string() + " kann nicht geöffnet werden: " + std::strerror(errno));
  }
  int err = ofd_lock(impl->fd, impl->exclusive ? F_WRLCK : F_RDLCK, kShareLock);
  if (is_conflict(err)) return nullptr;
  if (err != 0) throw TableError("Tabelle " + file.string() + " kann nicht gesperrt werden: " + std::strerror(err));

  struct stat st {};
  if (fstat(impl->fd, &st) != 0) throw TableError("Tabelle " + file.string() + " kann nicht gelesen werden");
  unsigned char h[32];
  if (st.st_size < 32 || !pread_all(impl->fd, h, 32, 0)) throw TableError(damaged(file, "Datei kürzer als der Kopf"));
  if (h[0] != 0x03 && h[0] != 0x83)
    throw TableError(damaged(file, "unbekannte Version " + std::to_string(h[0])));
  impl->header_len = u16(&h[8]);
  impl->record_len = u16(&h[10]);
  if (impl->header_len < 32 + 32 + 1 || impl->header_len > st.st_size)
    throw TableError(damaged(file, "Kopflänge " + std::to_string(impl->header_len) + " passt nicht zur Datei"));

  std::vector<unsigned char> desc(impl->header_len - 32);
  if (!pread_all(impl->fd, desc.data(), desc.size(), 32)) throw TableError(damaged(file, "Datei kürzer als der Kopf"));
  std::size_t at = 0;
  std::uint32_t sum = 1;
  while (at < desc.size() && desc[at] != 0x0D) {
    if (at + 32 > desc.size()) break;
    const unsigned char* d = &desc[at];
    FieldDef f;
    for (int k = 0; k < 11 && d[k] != 0; ++k) f.name.push_back(static_cast<char>(std::toupper(d[k])));
    f.type = static_cast<char>(d[11]);
    f.length = d[16];
    f.decimals = d[17];
    if (f.type == 'C' && f.decimals > 0) {  // Clipper's long character fields
      f.length += f.decimals * 256;
      f.decimals = 0;
    }
    if (f.name.empty() || f.length == 0) throw TableError(damaged(file, "Feldbeschreibung " + std::to_string(at / 32 + 1)));
    impl->offsets.push_back(sum);
    sum += static_cast<std::uint32_t>(f.length);
    impl->fields.push_back(std::move(f));
    at += 32;
  }
  // The header length must match the field count: at most the terminator and some padding.
  if (at >= desc.size() || desc[at] != 0x0D || impl->fields.empty() || desc.size() - at > 32)
    throw TableError(damaged(file, "Kopflänge passt nicht zur Zahl der Felder"));
  if (sum != impl->record_len)
    throw TableError(damaged(file, "Satzlänge " + std::to_string(impl->record_len) + " statt " + std::to_string(sum)));

  impl->read_count();
  auto dbf = std::unique_ptr<Dbf>(new Dbf(std::move(impl)));
  dbf->go_top();
  return dbf;
}

const std::vector<FieldDef>& Dbf::fields() const { return impl_->fields; }
int Dbf::field_index(std::string_view name) const { return impl_->index_of(name); }

std::uint32_t Dbf::record_count() { return impl_->read_count(); }
std::uint32_t Dbf::recno() const { return impl_->recno; }
bool Dbf::eof() const { return impl_->eof; }
bool Dbf::bof() const { return impl_->bof; }

void Dbf::go_to(std::uint32_t recno) {
  impl_->load(recno);
  impl_->bof = impl_->count == 0;
}

void Dbf::go_top() { go_to(1); }

void Dbf::go_bottom() {
  impl_->flush();
  go_to(impl_->read_count());
}

void Dbf::skip(long n) {
  Impl& d = *impl_;
  d.flush();
  d.read_count();
  long target = static_cast<long>(d.recno) + n;
  if (n < 0 && target < 1) {
    d.load(1);
    d.bof = true;
    return;
  }
  d.load(target > static_cast<long>(d.count) ? d.count + 1 : static_cast<std::uint32_t>(target));
  d.bof = d.count == 0;
}

double Dbf::relative_position() {
  std::uint32_t n = record_count();
  if (impl_->eof) return n == 0 ? 0.0 : 1.0;
  if (n <= 1) return 0.0;
  return static_cast<double>(impl_->recno - 1) / static_cast<double>(n - 1);
}

std::string Dbf::get(std::string_view field) {
  Impl& d = *impl_;
  int i = d.require(field);
  const FieldDef& f = d.fields[static_cast<std::size_t>(i)];
  std::string_view raw(d.record.data() + d.offsets[static_cast<std::size_t>(i)], static_cast<std::size_t>(f.length));
  if (f.type == 'M') return d.eof ? std::string() : d.read_memo(raw);
  return text::cp850_to_utf8(raw);
}

void Dbf::put(std::string_view field, std::string_view utf8_value) {
  Impl& d = *impl_;
  int i = d.require(field);
  if (d.read_only) throw TableError("Tabelle " + d.path.string() + " ist nur zum Lesen geöffnet");
  const FieldDef& f = d.fields[static_cast<std::size_t>(i)];
  if (f.type == 'M') throw TableError("Memofeld " + f.name + " kann nicht geschrieben werden");
  if (d.eof) return;  // like dBase: a replace at end of file changes nothing
  auto width = static_cast<std::size_t>(f.length);
  std::string value;
  if (f.type == 'N') {
    std::string_view v = utf8_value;
    while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
    while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
    // dBase shows a number too wide for its field as asterisks rather than a wrong number.
    value = v.size() > width ? std::string(width, '*') : std::string(width - v.size(), ' ') + std::string(v);
  } else {
    value = text::utf8_to_cp850(utf8_value);
    value.resize(width, ' ');
  }
  d.record.replace(d.offsets[static_cast<std::size_t>(i)], width, value);
  d.dirty = true;
}

bool Dbf::deleted() { return !impl_->eof && impl_->record[0] == '*'; }

void Dbf::mark_deleted(bool del) {
  Impl& d = *impl_;
  if (d.read_only) throw TableError("Tabelle " + d.path.string() + " ist nur zum Lesen geöffnet");
  if (d.eof) return;
  d.record[0] = del ? '*' : ' ';
  d.dirty = true;
}

bool Dbf::append_blank() {
  Impl& d = *impl_;
  if (d.read_only) throw TableError("Tabelle " + d.path.string() + " ist nur zum Lesen geöffnet");
  // Nobody else can append to a table held exclusively.
  int err = 0;
  for (int attempt = 0; !d.exclusive && attempt < 100; ++attempt) {
    err = ofd_lock(d.fd, F_WRLCK, kHeaderLock);
    if (!is_conflict(err)) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (is_conflict(err)) return false;
  if (err != 0) throw TableError("Tabelle " + d.path.string() + " kann nicht gesperrt werden: " + std::strerror(err));

  struct Unlock {
    int fd;
    bool held;
    ~Unlock() {
      if (held) ofd_lock(fd, F_UNLCK, kHeaderLock);
    }
  } unlock{d.fd, !d.exclusive};

  // Record and end mark first, the count last: a crash in between leaves the old count valid.
  std::uint32_t n = d.read_count() + 1;
  std::string bytes;
  off_t at = d.record_offset(n);
  if (d.dirty && d.recno + 1 == n) {
    // The previous record, filled since the last append, goes out in the same write.
    bytes = d.record;
    at = d.record_offset(d.recno);
    d.dirty = false;
  } else {
    d.flush();
  }
  bytes += d.blank();
  bytes.push_back(static_cast<char>(kEndMark));
  unsigned char h[7];
  today(h);
  put32(&h[3], n);
  if (!pwrite_all(d.fd, bytes.data(), bytes.size(), at) || !pwrite_all(d.fd, h, sizeof h, 1))
    throw TableError("Tabelle " + d.path.string() + ": Satz kann nicht angehängt werden");
  d.count = n;
  d.count_checked = true;
  d.recno = n;
  d.record = d.blank();
  d.eof = false;
  d.bof = false;
  return true;
}

void Dbf::commit() {
  Impl& d = *impl_;
  if (d.read_only) return;
  d.flush();
  d.stamp_header();
  if (::fdatasync(d.fd) != 0) throw TableError("Tabelle " + d.path.string() + " kann nicht gesichert werden");
}

bool Dbf::lock_record(std::uint32_t recno, bool release_others) {
  Impl& d = *impl_;
  if (release_others) {
    for (std::uint32_t held : d.locks)
      if (held != recno) ofd_lock(d.fd, F_UNLCK, kRecordLockBase + held);
    bool had = d.locks.count(recno) > 0;
    d.locks.clear();
    if (had) d.locks.insert(recno);
  }
  if (d.locks.count(recno)) return true;
  if (ofd_lock(d.fd, F_WRLCK, kRecordLockBase + recno) != 0) return false;
  d.locks.insert(recno);
  // Another process may have changed the record while we did not hold it.
  if (recno == d.recno && !d.eof && !d.dirty) d.load(recno);
  return true;
}

void Dbf::unlock_all() {
  Impl& d = *impl_;
  d.flush();
  for (std::uint32_t held : d.locks) ofd_lock(d.fd, F_UNLCK, kRecordLockBase + held);
  d.locks.clear();
}

const fs::path& Dbf::path() const { return impl_->path; }
bool Dbf::read_only() const { return impl_->read_only; }
bool Dbf::exclusive() const { return impl_->exclusive; }
const std::string& Dbf::warning() const { return impl_->warning; }

}  // namespace orvex::table

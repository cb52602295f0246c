#include "result_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <nlohmann/json.hpp>
#include <system_error>

namespace cmail {

namespace {

std::string now_iso8601() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[40];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S%z", &tm);
  return buf;
}

[[noreturn]] void fail(const std::string& what, const std::filesystem::path& p) {
  throw std::system_error(errno, std::generic_category(), what + " " + p.string());
}

void write_all(int fd, const std::string& data, const std::filesystem::path& p) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail("cannot write", p);
    }
    done += static_cast<size_t>(n);
  }
}

}  // namespace

std::string result_json(const MailResult& r) {
  nlohmann::ordered_json j;
  j["status"] = r.accepted ? "accepted" : "failure";
  j["reason"] = r.reason;
  j["server"] = r.server;
  j["greeting"] = r.greeting;
  j["recipients"] = nlohmann::ordered_json::array();
  for (const auto& rcpt : r.recipients) {
    nlohmann::ordered_json one;
    one["address"] = rcpt.address;
    // The dispatcher searches the whole file: a failed mail must not show "accepted" anywhere.
    one["status"] = r.accepted && rcpt.accepted ? "accepted" : "failure";
    one["code"] = rcpt.code;
    one["text"] = rcpt.text;
    j["recipients"].push_back(std::move(one));
  }
  j["code"] = r.code;
  j["text"] = r.text;
  j["message_id"] = r.message_id;
  j["tls"] = r.tls;
  j["authenticated"] = r.authenticated;
  j["dsn_requested"] = r.dsn_requested;
  j["time"] = now_iso8601();
  // Server texts may carry bytes that are not UTF-8; replace them rather than throw.
  return j.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

void write_result_file(const std::filesystem::path& path, const MailResult& result) {
  const std::string data = result_json(result);
  const auto dir = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
  const auto tmp = dir / ("." + path.filename().string() + "." + std::to_string(::getpid()) + ".tmp");
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) fail("cannot create", tmp);
  try {
    write_all(fd, data, tmp);
    if (::fsync(fd) != 0) fail("cannot sync", tmp);
  } catch (...) {
    ::close(fd);
    ::unlink(tmp.c_str());
    throw;
  }
  if (::close(fd) != 0) {
    ::unlink(tmp.c_str());
    fail("cannot close", tmp);
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    const int saved = errno;
    ::unlink(tmp.c_str());
    errno = saved;
    fail("cannot rename to", path);
  }
  // The rename itself must survive a crash too.
  const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

}  // namespace cmail

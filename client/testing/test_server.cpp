#include "test_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "test_ca.h"

extern char** environ;

namespace cmail::testing {

namespace {

std::string read_file(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + p.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The server's first line; a generous bound keeps a broken server from hanging the test.
std::string read_first_line(int fd) {
  std::string line;
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 60000) <= 0) throw std::runtime_error("test SMTP server did not start");
    char c;
    if (::read(fd, &c, 1) != 1) throw std::runtime_error("test SMTP server ended at start");
    if (c == '\n') return line;
    line += c;
  }
}

}  // namespace

TestServer::TestServer(const ServerOptions& o) {
  std::vector<std::string> args = {ORVEX_PYTHON, std::string(ORVEX_SOURCE_DIR) + "/tests/smtp_server.py",
                                   "--port", "0", "--maildir", maildir().string()};
  if (o.tls || o.tls_elsewhere) {
    const ServerCert& cert = o.tls_elsewhere ? test_ca().elsewhere : test_ca().server;
    args.insert(args.end(), {"--tls-cert", cert.cert.string(), "--tls-key", cert.key.string()});
  }
  if (!o.auth.empty()) args.insert(args.end(), {"--auth", o.auth});
  for (const auto& m : o.auth_exclude) args.insert(args.end(), {"--auth-exclude", m});
  if (o.dsn) args.push_back("--dsn");
  for (const auto& r : o.reject) args.insert(args.end(), {"--reject", r});
  if (o.reject_data) args.push_back("--reject-data");

  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  stdin_fd_ = in[1];
  if (rc != 0) {
    ::close(out[0]);
    throw std::runtime_error("cannot start the test SMTP server");
  }
  const std::string line = read_first_line(out[0]);
  ::close(out[0]);
  if (std::sscanf(line.c_str(), "PORT %d", &port_) != 1)
    throw std::runtime_error("unexpected first line from the test SMTP server: " + line);
}

TestServer::~TestServer() {
  if (stdin_fd_ >= 0) ::close(stdin_fd_);
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status;
    ::waitpid(pid_, &status, 0);
  }
}

int TestServer::stored() const {
  int n = 0;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(maildir(), ec))
    if (e.path().extension() == ".eml") ++n;
  return n;
}

std::string TestServer::message(int n) const {
  char name[16];
  std::snprintf(name, sizeof name, "%04d.eml", n);
  return read_file(maildir() / name);
}

nlohmann::json TestServer::envelope(int n) const {
  char name[16];
  std::snprintf(name, sizeof name, "%04d.json", n);
  return nlohmann::json::parse(read_file(maildir() / name));
}

}  // namespace cmail::testing

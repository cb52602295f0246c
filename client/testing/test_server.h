#pragma once
// tests/smtp_server.py as a child process on a free port, storing into its own maildir.
#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "temp_dir.h"

namespace cmail::testing {

struct ServerOptions {
  bool tls = false;            // STARTTLS with the test CA's server certificate
  bool tls_elsewhere = false;  // STARTTLS with a certificate for another name
  std::string auth;            // "USER:PASS"; empty: no AUTH
  std::vector<std::string> auth_exclude;
  bool dsn = false;
  std::vector<std::string> reject;
  bool reject_data = false;

  ServerOptions& with_tls() { tls = true; return *this; }
  ServerOptions& with_tls_elsewhere() { tls_elsewhere = true; return *this; }
  ServerOptions& with_auth(std::string login) { auth = std::move(login); return *this; }
  ServerOptions& without_auth_mechanism(std::string m) { auth_exclude.push_back(std::move(m)); return *this; }
  ServerOptions& with_dsn() { dsn = true; return *this; }
  ServerOptions& rejecting(std::string address) { reject.push_back(std::move(address)); return *this; }
  ServerOptions& rejecting_data() { reject_data = true; return *this; }
};

class TestServer {
 public:
  explicit TestServer(const ServerOptions& options);
  ~TestServer();
  TestServer(const TestServer&) = delete;
  TestServer& operator=(const TestServer&) = delete;

  int port() const { return port_; }
  std::filesystem::path maildir() const { return dir_ / "maildir"; }
  // Number of messages stored so far.
  int stored() const;
  // Raw bytes of message n (1-based) and its envelope.
  std::string message(int n) const;
  nlohmann::json envelope(int n) const;

 private:
  TempDir dir_;
  pid_t pid_ = -1;
  int stdin_fd_ = -1;
  int port_ = 0;
};

}  // namespace cmail::testing

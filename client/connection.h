#pragma once
// A TCP connection to the SMTP server that can be upgraded to TLS. Every wait is bounded.
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

typedef struct ssl_ctx_st SSL_CTX;
typedef struct ssl_st SSL;

namespace cmail {

class ConnectionError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TlsOptions {
  std::string cafile;     // trusted in addition to the system's CAs
  bool insecure = false;  // skip certificate and name checks
};

class Connection {
 public:
  explicit Connection(std::chrono::milliseconds timeout);
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Tries every address of host in turn within one timeout. Throws ConnectionError.
  void connect(const std::string& host, std::uint16_t port);
  // Handshake with verification of the certificate for host (a name or an IP address).
  void start_tls(const std::string& host, const TlsOptions& options);
  bool tls() const { return ssl_ != nullptr; }
  // True when the server sent bytes we have not read (must not happen before STARTTLS).
  bool has_buffered_input() const { return !buffer_.empty(); }

  // One line without its CR LF. Throws ConnectionError on timeout or a closed connection.
  std::string read_line();
  void write(std::string_view data);

 private:
  enum class Wait { read, write };
  void wait_for(Wait what, std::chrono::steady_clock::time_point deadline);
  size_t receive(char* buf, size_t size, std::chrono::steady_clock::time_point deadline);

  std::chrono::milliseconds timeout_;
  int fd_ = -1;
  SSL_CTX* ctx_ = nullptr;
  SSL* ssl_ = nullptr;
  std::string buffer_;
};

}  // namespace cmail

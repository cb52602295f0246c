#include "connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cmail {

using Clock = std::chrono::steady_clock;

namespace {

constexpr size_t kMaxLine = 64 * 1024;

bool is_ip_literal(const std::string& host) {
  unsigned char buf[sizeof(struct in6_addr)];
  return inet_pton(AF_INET, host.c_str(), buf) == 1 || inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

std::string openssl_errors() {
  std::string all;
  while (const unsigned long e = ERR_get_error()) {
    char buf[256];
    ERR_error_string_n(e, buf, sizeof buf);
    if (!all.empty()) all += "; ";
    all += buf;
  }
  return all.empty() ? "unknown TLS error" : all;
}

int remaining_ms(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

}  // namespace

Connection::Connection(std::chrono::milliseconds timeout) : timeout_(timeout) {}

Connection::~Connection() {
  if (ssl_) SSL_free(ssl_);
  if (ctx_) SSL_CTX_free(ctx_);
  if (fd_ >= 0) ::close(fd_);
}

void Connection::wait_for(Wait what, Clock::time_point deadline) {
  for (;;) {
    pollfd p{fd_, static_cast<short>(what == Wait::read ? POLLIN : POLLOUT), 0};
    const int n = ::poll(&p, 1, remaining_ms(deadline));
    if (n > 0) return;
    if (n == 0) {
      char secs[32];
      std::snprintf(secs, sizeof secs, "%g", static_cast<double>(timeout_.count()) / 1000.0);
      throw ConnectionError(std::string("timeout: no answer from the server within ") + secs + " s");
    }
    if (errno != EINTR) throw ConnectionError(std::string("poll failed: ") + std::strerror(errno));
  }
}

void Connection::connect(const std::string& host, std::uint16_t port) {
  const auto deadline = Clock::now() + timeout_;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port);
  if (const int rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list); rc != 0)
    throw ConnectionError("cannot resolve " + host + ": " + gai_strerror(rc));
  std::string last_error = "no address";
  for (addrinfo* ai = list; ai; ai = ai->ai_next) {
    const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            ai->ai_protocol);
    if (fd < 0) {
      last_error = std::strerror(errno);
      continue;
    }
    int rc = ::connect(fd, ai->ai_addr, ai->ai_addrlen);
    if (rc != 0 && errno == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      int n;
      while ((n = ::poll(&p, 1, remaining_ms(deadline))) < 0 && errno == EINTR) {
      }
      if (n == 0) {
        errno = ETIMEDOUT;
      } else {
        int err = 0;
        socklen_t len = sizeof err;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        errno = err;
        rc = err == 0 ? 0 : -1;
      }
    }
    if (rc == 0) {
      fd_ = fd;
      ::freeaddrinfo(list);
      return;
    }
    last_error = std::strerror(errno);
    ::close(fd);
  }
  ::freeaddrinfo(list);
  throw ConnectionError("cannot connect to " + host + ":" + service + ": " + last_error);
}

void Connection::start_tls(const std::string& host, const TlsOptions& options) {
  const auto deadline = Clock::now() + timeout_;
  ERR_clear_error();
  ctx_ = SSL_CTX_new(TLS_client_method());
  if (!ctx_) throw ConnectionError("TLS setup failed: " + openssl_errors());
  SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
  if (!options.insecure) {
    SSL_CTX_set_default_verify_paths(ctx_);
    if (!options.cafile.empty() &&
        SSL_CTX_load_verify_locations(ctx_, options.cafile.c_str(), nullptr) != 1)
      throw ConnectionError("cannot load CA file " + options.cafile + ": " + openssl_errors());
  }
  SSL_CTX_set_verify(ctx_, options.insecure ? SSL_VERIFY_NONE : SSL_VERIFY_PEER, nullptr);

  ssl_ = SSL_new(ctx_);
  if (!ssl_ || SSL_set_fd(ssl_, fd_) != 1) throw ConnectionError("TLS setup failed: " + openssl_errors());
  if (is_ip_literal(host)) {
    if (!options.insecure && X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl_), host.c_str()) != 1)
      throw ConnectionError("TLS setup failed for address " + host);
  } else {
    SSL_set_tlsext_host_name(ssl_, host.c_str());
    if (!options.insecure && SSL_set1_host(ssl_, host.c_str()) != 1)
      throw ConnectionError("TLS setup failed for host " + host);
  }

  for (;;) {
    const int rc = SSL_connect(ssl_);
    if (rc == 1) return;
    const int err = SSL_get_error(ssl_, rc);
    if (err == SSL_ERROR_WANT_READ) {
      wait_for(Wait::read, deadline);
    } else if (err == SSL_ERROR_WANT_WRITE) {
      wait_for(Wait::write, deadline);
    } else {
      const long verify = SSL_get_verify_result(ssl_);
      if (verify != X509_V_OK)
        throw ConnectionError(std::string("TLS certificate of ") + host + " not trusted: " +
                              X509_verify_cert_error_string(verify));
      throw ConnectionError("TLS handshake with " + host + " failed: " + openssl_errors());
    }
  }
}

size_t Connection::receive(char* buf, size_t size, Clock::time_point deadline) {
  for (;;) {
    if (ssl_) {
      size_t got = 0;
      ERR_clear_error();
      if (SSL_read_ex(ssl_, buf, size, &got) == 1) return got;
      const int err = SSL_get_error(ssl_, 0);
      if (err == SSL_ERROR_WANT_READ) {
        wait_for(Wait::read, deadline);
      } else if (err == SSL_ERROR_WANT_WRITE) {
        wait_for(Wait::write, deadline);
      } else if (err == SSL_ERROR_ZERO_RETURN) {
        throw ConnectionError("the server closed the connection");
      } else {
        throw ConnectionError("TLS read failed: " + openssl_errors());
      }
    } else {
      const ssize_t n = ::recv(fd_, buf, size, 0);
      if (n > 0) return static_cast<size_t>(n);
      if (n == 0) throw ConnectionError("the server closed the connection");
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        wait_for(Wait::read, deadline);
      } else if (errno != EINTR) {
        throw ConnectionError(std::string("receive failed: ") + std::strerror(errno));
      }
    }
  }
}

std::string Connection::read_line() {
  const auto deadline = Clock::now() + timeout_;
  for (;;) {
    const auto lf = buffer_.find('\n');
    if (lf != std::string::npos) {
      std::string line = buffer_.substr(0, lf);
      buffer_.erase(0, lf + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    }
    if (buffer_.size() > kMaxLine) throw ConnectionError("the server sent an overlong line");
    char buf[4096];
    buffer_.append(buf, receive(buf, sizeof buf, deadline));
  }
}

void Connection::write(std::string_view data) {
  const auto deadline = Clock::now() + timeout_;
  while (!data.empty()) {
    if (ssl_) {
      size_t written = 0;
      ERR_clear_error();
      if (SSL_write_ex(ssl_, data.data(), data.size(), &written) == 1) {
        data.remove_prefix(written);
        continue;
      }
      const int err = SSL_get_error(ssl_, 0);
      if (err == SSL_ERROR_WANT_WRITE)
        wait_for(Wait::write, deadline);
      else if (err == SSL_ERROR_WANT_READ)
        wait_for(Wait::read, deadline);
      else
        throw ConnectionError("TLS write failed: " + openssl_errors());
    } else {
      const ssize_t n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL);
      if (n >= 0) {
        data.remove_prefix(static_cast<size_t>(n));
      } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
        wait_for(Wait::write, deadline);
      } else if (errno != EINTR) {
        throw ConnectionError(std::string("send failed: ") + std::strerror(errno));
      }
    }
  }
}

}  // namespace cmail

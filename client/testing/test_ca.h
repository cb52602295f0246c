#pragma once
// A throw-away CA and server certificates, made with the openssl command line.
#include <filesystem>
#include <string>

namespace cmail::testing {

struct ServerCert {
  std::filesystem::path cert;
  std::filesystem::path key;
};

struct TestCa {
  std::filesystem::path ca_cert;
  ServerCert server;     // for IP 127.0.0.1 and DNS localhost, signed by ca_cert
  ServerCert elsewhere;  // signed by ca_cert, but only for DNS mail.elsewhere.example
};

// Made once per process, in a folder that lives as long as the process.
const TestCa& test_ca();

}  // namespace cmail::testing

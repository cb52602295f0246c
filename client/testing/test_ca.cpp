#include "test_ca.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "temp_dir.h"

namespace cmail::testing {

namespace {

void sh(const std::string& command) {
  if (std::system(command.c_str()) != 0) throw std::runtime_error("failed: " + command);
}

ServerCert make_cert(const std::filesystem::path& dir, const std::string& name,
                     const std::string& san) {
  const auto d = dir.string() + "/";
  std::ofstream(d + name + ".ext") << "subjectAltName=" << san << "\n"
                                   << "extendedKeyUsage=serverAuth\n";
  sh("openssl req -new -newkey rsa:2048 -nodes -subj /CN=" + name + " -keyout " + d + name +
     ".key -out " + d + name + ".csr 2>/dev/null");
  sh("openssl x509 -req -in " + d + name + ".csr -CA " + d + "ca.pem -CAkey " + d +
     "ca.key -CAcreateserial -days 2 -extfile " + d + name + ".ext -out " + d + name +
     ".pem 2>/dev/null");
  return {dir / (name + ".pem"), dir / (name + ".key")};
}

}  // namespace

const TestCa& test_ca() {
  static TempDir dir;
  static const TestCa ca = [] {
    const auto d = dir.path().string() + "/";
    sh("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj '/CN=cmail test CA' "
       "-addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign "
       "-keyout " + d + "ca.key -out " + d + "ca.pem 2>/dev/null");
    TestCa made;
    made.ca_cert = dir.path() / "ca.pem";
    made.server = make_cert(dir.path(), "server", "IP:127.0.0.1,DNS:localhost");
    made.elsewhere = make_cert(dir.path(), "elsewhere", "DNS:mail.elsewhere.example");
    return made;
  }();
  return ca;
}

}  // namespace cmail::testing

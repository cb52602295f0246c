// The cmail executable end to end, against the test SMTP server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>

#include "testing/parsed_mail.h"
#include "testing/temp_dir.h"
#include "testing/test_ca.h"
#include "testing/test_server.h"

extern char** environ;

namespace cmail {
namespace {

namespace fs = std::filesystem;
using testing::ServerOptions;
using testing::TempDir;
using testing::TestServer;
using Args = std::vector<std::string>;

std::string read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Exit {
  int code = -1;
  std::string err;
};

// Runs cmail with exactly these argv elements and a clean, controlled environment.
Exit run_cmail(const Args& args, const std::map<std::string, std::string>& env = {},
               const std::string& exe = CMAIL_EXECUTABLE) {
  TempDir dir;
  const auto err_path = dir / "stderr";
  std::vector<std::string> argv_s = {exe};
  argv_s.insert(argv_s.end(), args.begin(), args.end());
  std::vector<std::string> env_s;
  for (char** e = environ; *e; ++e) {
    const std::string kv = *e;
    if (kv.rfind("CMAIL_", 0) != 0 && kv.rfind("ORVEX_DRIVES=", 0) != 0 &&
        kv.rfind("SSL_CERT_", 0) != 0)
      env_s.push_back(kv);
  }
  for (const auto& [k, v] : env) env_s.push_back(k + "=" + v);
  std::vector<char*> argv, envp;
  for (auto& a : argv_s) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env_s) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid;
  Exit exit;
  if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    exit.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  posix_spawn_file_actions_destroy(&actions);
  exit.err = read(err_path);
  return exit;
}

int closed_port() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

class Cmail : public ::testing::Test {
 protected:
  // The job mail as the dispatcher builds it, against a server on `port`.
  Args job(int port, const std::string& password = "ge:h@im") const {
    return {"-host:info@firma.de:" + password + "@127.0.0.1:" + std::to_string(port),
            "-starttls",
            "-to:kunde@example.com",
            "-from:info@firma.de",
            "-reply-to:buero@firma.de",
            "-subject:Formular f\xFCr Sterbefall",
            "-body:Sehr geehrte Frau M\xFCller,\r\nanbei das Formular.\r\n\r\nGr\xFC\xDF" "e",
            "-a:",
            "-dsn:SFD",
            "-mdn",
            "-results:" + result_.string(),
            "-cafile:" + testing::test_ca().ca_cert.string()};
  }
  nlohmann::json result() const { return nlohmann::json::parse(read(result_)); }
  std::string result_text() const { return read(result_); }

  TempDir dir_;
  fs::path result_ = dir_ / "12_a.result";
};

const ServerOptions kFullServer = ServerOptions().with_tls().with_auth("info@firma.de:ge:h@im").with_dsn();

TEST_F(Cmail, JobMailAcceptedWithStartTlsAuthAndDsn) {
  TestServer server(kFullServer);
  const Exit exit = run_cmail(job(server.port()));
  EXPECT_EQ(exit.code, 0) << exit.err;
  EXPECT_NE(result_text().find("\"status\": \"accepted\""), std::string::npos) << result_text();
  const auto r = result();
  EXPECT_EQ(r["recipients"][0]["address"], "kunde@example.com");
  EXPECT_EQ(r["recipients"][0]["status"], "accepted");
  EXPECT_EQ(r["recipients"][0]["code"], 250);
  EXPECT_EQ(r["dsn_requested"], true);

  ASSERT_EQ(server.stored(), 1);
  const auto envelope = server.envelope(1);
  EXPECT_EQ(envelope["mail_from"], "info@firma.de");
  EXPECT_EQ(envelope["rcpt_tos"], nlohmann::json::array({"kunde@example.com"}));
  EXPECT_EQ(envelope["tls"], true);
  EXPECT_EQ(envelope["login"], "info@firma.de");
  const auto mail_options = envelope["mail_options"].dump();
  EXPECT_NE(mail_options.find("RET=HDRS"), std::string::npos) << mail_options;
  EXPECT_NE(mail_options.find("ENVID="), std::string::npos) << mail_options;
  const auto rcpt_options = envelope["rcpt_options"][0].dump();
  EXPECT_NE(rcpt_options.find("NOTIFY=SUCCESS,FAILURE,DELAY"), std::string::npos) << rcpt_options;
  EXPECT_NE(rcpt_options.find("ORCPT=RFC822;KUNDE@EXAMPLE.COM"), std::string::npos) << rcpt_options;
}

TEST_F(Cmail, NoDsnParametersWhenTheServerDoesNotOfferDsn) {
  TestServer server(ServerOptions().with_tls().with_auth("info@firma.de:ge:h@im"));
  const Exit exit = run_cmail(job(server.port()));
  EXPECT_EQ(exit.code, 0) << exit.err;
  EXPECT_EQ(result()["dsn_requested"], false);
  ASSERT_EQ(server.stored(), 1);
  const auto envelope = server.envelope(1);
  EXPECT_EQ(envelope["mail_options"], nlohmann::json::array());
  EXPECT_EQ(envelope["rcpt_options"][0], nlohmann::json::array());
}

TEST_F(Cmail, HeadersSubjectBodyAndAttachmentArriveIntact) {
  std::string pdf = "%PDF-1.4\n";
  for (int i = 0; i < 3000; ++i) pdf += static_cast<char>(i * 131 % 256);
  pdf += "\n%%EOF\n";
  std::ofstream(dir_ / "Formular 12.pdf", std::ios::binary) << pdf;

  // The subject as Windows-1252 bytes (the dispatcher) and as UTF-8 (a terminal).
  for (const std::string subject : {"Formular f\xFCr Sterbefall", "Formular f\xC3\xBCr Sterbefall"}) {
    TestServer server(kFullServer);
    Args args = job(server.port());
    args[5] = "-subject:" + subject;
    args[7] = "-a:" + (dir_ / "Formular 12.pdf").string();
    const Exit exit = run_cmail(args);
    ASSERT_EQ(exit.code, 0) << exit.err;
    ASSERT_EQ(server.stored(), 1);
    const std::string raw = server.message(1);
    const auto m = testing::parse_mail(raw);
    EXPECT_EQ(m.subject, "Formular f\xC3\xBCr Sterbefall");
    EXPECT_EQ(m.from, "info@firma.de");
    EXPECT_EQ(m.to, "kunde@example.com");
    EXPECT_EQ(m.reply_to, "buero@firma.de");
    EXPECT_EQ(m.disposition_notification_to, "buero@firma.de");
    EXPECT_FALSE(m.date.empty());
    EXPECT_FALSE(m.message_id.empty());
    EXPECT_EQ(result()["message_id"], m.message_id);
    ASSERT_EQ(m.parts.size(), 2u) << raw;
    EXPECT_EQ(m.parts[0].content_type, "text/plain");
    EXPECT_EQ(m.parts[0].charset, "utf-8");
    EXPECT_EQ(m.parts[0].encoding, "quoted-printable");
    EXPECT_EQ(m.parts[0].bytes,
              "Sehr geehrte Frau M\xC3\xBCller,\r\nanbei das Formular.\r\n\r\nGr\xC3\xBC\xC3\x9F" "e");
    EXPECT_EQ(m.parts[1].content_type, "application/pdf");
    EXPECT_EQ(m.parts[1].file_name, "Formular 12.pdf");
    EXPECT_EQ(m.parts[1].encoding, "base64");
    EXPECT_EQ(m.parts[1].bytes, pdf);
  }
}

TEST_F(Cmail, WindowsPathsForAttachmentAndResultFile) {
  fs::create_directories(dir_ / "XARV/CMail/Ausgang");
  std::ofstream(dir_ / "XARV/CMail/Ausgang/12.pdf") << "%PDF-1.4 tiny";
  TestServer server(kFullServer);
  Args args = job(server.port());
  args[7] = "-a:C:\\xarv\\cmail\\AUSGANG\\12.pdf";
  args[10] = "-results:C:\\XARV\\CMAIL\\Ausgang\\12_a.result";
  const Exit exit = run_cmail(args, {{"ORVEX_DRIVES", "C=" + dir_.path().string()}});
  EXPECT_EQ(exit.code, 0) << exit.err;
  EXPECT_NE(read(dir_ / "XARV/CMail/Ausgang/12_a.result").find("\"status\": \"accepted\""),
            std::string::npos);
  ASSERT_EQ(server.stored(), 1);
  EXPECT_EQ(testing::parse_mail(server.message(1)).parts.at(1).file_name, "12.pdf");
}

TEST_F(Cmail, FailuresAreReportedInTheResultFile) {
  struct Case {
    const char* name;
    ServerOptions server;
    std::function<void(Args&)> change;
    std::string reason_part;
    int recipient_code;
  };
  const Case cases[] = {
      {"recipient rejected", ServerOptions(kFullServer).rejecting("kunde@example.com"),
       [](Args&) {}, "recipient refused: kunde@example.com: 550", 550},
      {"bad password", kFullServer, [](Args& a) { a[0] = "-host:info@firma.de:falsch@127.0.0.1:" + a[0].substr(a[0].rfind(':') + 1); },
       "authentication failed for user info@firma.de: 535", 0},
      {"refused connection", kFullServer,
       [](Args& a) { a[0] = "-host:info@firma.de:ge:h@im@127.0.0.1:" + std::to_string(closed_port()); },
       "cannot connect to 127.0.0.1:", 0},
      {"untrusted certificate", kFullServer, [](Args& a) { a.pop_back(); }, "not trusted", 0},
      {"missing attachment", kFullServer, [](Args& a) { a[7] = "-a:/nonexistent/Formular.pdf"; },
       "attachment not found or not readable: /nonexistent/Formular.pdf", 0},
  };
  for (const auto& c : cases) {
    TestServer server(c.server);
    Args args = job(server.port());
    c.change(args);
    fs::remove(result_);
    const Exit exit = run_cmail(args);
    EXPECT_EQ(exit.code, 1) << c.name << ": " << exit.err;
    EXPECT_NE(exit.err.find(c.reason_part), std::string::npos) << c.name << ": " << exit.err;
    const std::string text = result_text();
    EXPECT_NE(text.find("\"status\": \"failure\""), std::string::npos) << c.name << ": " << text;
    EXPECT_EQ(text.find("\"status\": \"accepted\""), std::string::npos) << c.name << ": " << text;
    const auto r = result();
    EXPECT_NE(r["reason"].get<std::string>().find(c.reason_part), std::string::npos)
        << c.name << ": " << r["reason"];
    EXPECT_EQ(r["recipients"][0]["code"], c.recipient_code) << c.name;
    EXPECT_EQ(server.stored(), 0) << c.name;
  }
}

TEST_F(Cmail, InsecureSkipsTheCertificateCheck) {
  TestServer server(kFullServer);
  Args args = job(server.port());
  args.back() = "-insecure";
  const Exit exit = run_cmail(args);
  EXPECT_EQ(exit.code, 0) << exit.err;
  EXPECT_EQ(server.stored(), 1);
}

TEST_F(Cmail, TrustAndVerbosityFromConfigFileAndEnvironment) {
  TestServer server(kFullServer);
  Args args = job(server.port());
  args.pop_back();  // no -cafile

  TempDir install;
  fs::copy_file(CMAIL_EXECUTABLE, install / "cmail.exe");
  std::ofstream(install / "cmail.conf") << "# beside the executable\ncafile = "
                                        << testing::test_ca().ca_cert.string() << "\n";
  Exit exit = run_cmail(args, {}, (install / "cmail.exe").string());
  EXPECT_EQ(exit.code, 0) << exit.err;

  exit = run_cmail(args, {{"CMAIL_CAFILE", testing::test_ca().ca_cert.string()}, {"CMAIL_VERBOSE", "1"}});
  EXPECT_EQ(exit.code, 0) << exit.err;
  EXPECT_NE(exit.err.find("C: STARTTLS"), std::string::npos) << exit.err;
  EXPECT_NE(exit.err.find("C: AUTH PLAIN ****"), std::string::npos) << exit.err;
  EXPECT_EQ(exit.err.find("ge:h@im"), std::string::npos) << "password in the log";
  EXPECT_EQ(server.stored(), 2);
}

TEST_F(Cmail, MalformedCommandLineWritesAFailureResult) {
  const Args args = {"-host:u:p@127.0.0.1:notaport", "-to:a@b.de", "-from:c@d.de",
                     "\"-results:" + result_.string() + "\""};
  const Exit exit = run_cmail(args);
  EXPECT_EQ(exit.code, 2);
  EXPECT_NE(exit.err.find("bad port \"notaport\""), std::string::npos) << exit.err;
  EXPECT_NE(result_text().find("\"status\": \"failure\""), std::string::npos);
  EXPECT_NE(result()["reason"].get<std::string>().find("malformed command line"), std::string::npos);

  EXPECT_EQ(run_cmail({"-bogus"}).code, 2);
  EXPECT_EQ(run_cmail({"--help"}).code, 0);
}

}  // namespace
}  // namespace cmail

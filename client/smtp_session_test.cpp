#include "smtp_session.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "message.h"
#include "testing/test_ca.h"
#include "testing/test_server.h"

namespace cmail {
namespace {

using testing::ServerOptions;
using testing::TestServer;

TEST(DotStuff, DoublesLeadingDotsAndTerminates) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\r\nb\r\n", "a\r\nb\r\n.\r\n"},
      {".a\r\n..b\r\nc.d\r\n.\r\n", "..a\r\n...b\r\nc.d\r\n..\r\n.\r\n"},
      {"no final break", "no final break\r\n.\r\n"},
      {"bare\nlf\n.x", "bare\r\nlf\r\n..x\r\n.\r\n"},
      {"", ".\r\n"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(dot_stuff(in), out) << in;
}

TEST(Xtext, EncodesPlusEqualsAndNonPrintables) {
  EXPECT_EQ(xtext("a+b=c d@e"), "a+2Bb+3Dc+20d@e");
  EXPECT_EQ(xtext("\xC3\xBC"), "+C3+BC");
}

struct Sent {
  MailResult result;
  int settled = 0;
};

Sent send(int port, const std::string& host, bool starttls, const std::string& user,
         const std::string& password, const std::vector<std::string>& to,
         const std::string& message, TlsOptions tls = {testing::test_ca().ca_cert.string(), false},
         std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
  SessionOptions o;
  o.server = {user, password, host, static_cast<std::uint16_t>(port)};
  o.starttls = starttls;
  o.tls = tls;
  o.timeout = timeout;
  o.dsn = {true, true, true};
  o.helo_name = "client.test";
  Sent run;
  o.on_settled = [&run](const MailResult&) { ++run.settled; };
  run.result = send_mail(o, Envelope{"from@firma.de", to, "id-1"}, message);
  return run;
}

const std::string kMessage =
    "Subject: test\r\n\r\n.Punkt am Zeilenanfang\r\n..zwei\r\nEnde\r\n";

TEST(SmtpSession, LoginOnlyServerOverStartTlsByHostName) {
  TestServer server(ServerOptions().with_tls().with_auth("u@firma.de:p:w@rd").without_auth_mechanism("PLAIN"));
  const Sent run = send(server.port(), "localhost", true, "u@firma.de", "p:w@rd",
                       {"kunde@example.com"}, kMessage);
  EXPECT_TRUE(run.result.accepted) << run.result.reason;
  EXPECT_EQ(run.settled, 1);
  EXPECT_TRUE(run.result.tls);
  EXPECT_TRUE(run.result.authenticated);
  EXPECT_FALSE(run.result.dsn_requested);
  EXPECT_EQ(run.result.code, 250);
  ASSERT_EQ(server.stored(), 1);
  EXPECT_EQ(server.message(1), kMessage);  // dot-stuffing undone by the server
  EXPECT_EQ(server.envelope(1)["login"], "u@firma.de");
  EXPECT_EQ(server.envelope(1)["tls"], true);
}

TEST(SmtpSession, OneRefusedRecipientSendsNothing) {
  TestServer server(ServerOptions().rejecting("weg@example.com"));
  const Sent run = send(server.port(), "127.0.0.1", false, "", "",
                       {"da@example.com", "weg@example.com"}, kMessage);
  EXPECT_FALSE(run.result.accepted);
  EXPECT_EQ(run.settled, 1);
  EXPECT_NE(run.result.reason.find("weg@example.com: 550"), std::string::npos) << run.result.reason;
  EXPECT_EQ(run.result.code, 550);
  ASSERT_EQ(run.result.recipients.size(), 2u);
  EXPECT_EQ(run.result.recipients[0].code, 250);
  EXPECT_FALSE(run.result.recipients[0].accepted);
  EXPECT_EQ(run.result.recipients[1].code, 550);
  EXPECT_EQ(server.stored(), 0);
}

TEST(SmtpSession, DialogueFailuresGiveReasons) {
  struct Case {
    const char* name;
    ServerOptions server;
    bool starttls;
    std::string user, password;
    TlsOptions tls;
    std::string reason_part;
  };
  const std::string ca = testing::test_ca().ca_cert.string();
  const Case cases[] = {
      {"no STARTTLS offered", {}, true, "", "", {ca}, "does not offer STARTTLS"},
      {"AUTH only after TLS", ServerOptions().with_tls().with_auth("u:p"), false, "u", "p", {ca}, "offers no AUTH"},
      {"wrong password", ServerOptions().with_tls().with_auth("u:p"), true, "u", "x", {ca}, "authentication failed for user u: 535"},
      {"message refused", ServerOptions().rejecting_data(), false, "", "", {ca}, "refused the message: 554"},
      {"untrusted CA", ServerOptions().with_tls(), true, "", "", {}, "not trusted"},
      {"certificate for another name", ServerOptions().with_tls_elsewhere(), true, "", "", {ca}, "not trusted"},
      {"unreadable CA file", ServerOptions().with_tls(), true, "", "", {"/nonexistent/ca.pem"}, "cannot load CA file"},
  };
  for (const auto& c : cases) {
    TestServer server(c.server);
    const Sent run = send(server.port(), "127.0.0.1", c.starttls, c.user, c.password,
                         {"a@example.com"}, kMessage, c.tls);
    EXPECT_FALSE(run.result.accepted) << c.name;
    EXPECT_EQ(run.settled, 1) << c.name;
    EXPECT_NE(run.result.reason.find(c.reason_part), std::string::npos)
        << c.name << ": " << run.result.reason;
    EXPECT_EQ(server.stored(), 0) << c.name;
  }
}

TEST(SmtpSession, InsecureAcceptsAnyCertificate) {
  TestServer server(ServerOptions().with_tls_elsewhere());
  const Sent run = send(server.port(), "127.0.0.1", true, "", "", {"a@example.com"}, kMessage,
                       {"", true});
  EXPECT_TRUE(run.result.accepted) << run.result.reason;
  EXPECT_EQ(server.stored(), 1);
}

// A listening socket that never accepts: the kernel completes the connection, no greeting comes.
TEST(SmtpSession, SilentServerEndsInATimeout) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(fd, 4), 0);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  const Sent run = send(ntohs(addr.sin_port), "127.0.0.1", false, "", "", {"a@b.de"}, kMessage, {},
                       std::chrono::milliseconds(300));
  ::close(fd);
  EXPECT_FALSE(run.result.accepted);
  EXPECT_NE(run.result.reason.find("timeout"), std::string::npos) << run.result.reason;
  EXPECT_EQ(run.settled, 1);
}

TEST(SmtpSession, RefusedConnectionAndBadAddresses) {
  TestServer server{ServerOptions()};
  const int closed_port = [] {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    ::close(fd);
    return static_cast<int>(ntohs(addr.sin_port));
  }();
  Sent run = send(closed_port, "127.0.0.1", false, "", "", {"a@b.de"}, kMessage);
  EXPECT_NE(run.result.reason.find("Connection refused"), std::string::npos) << run.result.reason;

  run = send(server.port(), "127.0.0.1", false, "", "", {"a@b.de>\r\nRCPT TO:<c@d.de"}, kMessage);
  EXPECT_FALSE(run.result.accepted);
  EXPECT_NE(run.result.reason.find("invalid address"), std::string::npos) << run.result.reason;
  EXPECT_EQ(server.stored(), 0);
}

}  // namespace
}  // namespace cmail

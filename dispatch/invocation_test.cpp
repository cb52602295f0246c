#include "dispatch/invocation.h"

#include <gtest/gtest.h>

#include "dispatch/send_test_world.h"
#include "platform/pace/pace.h"

#ifdef CMAIL_EXECUTABLE
#include "testing/parsed_mail.h"
#include "testing/test_ca.h"
#include "testing/test_server.h"
#endif

namespace orvex::dispatch {
namespace {

using testing::World;
using testing::write_bytes;
namespace fs = std::filesystem;

Connection conn() {
  Connection c;
  c.cSend_Host = "mail.example.com";
  c.cSend_User = "u";
  c.cSend_PW = "p:w";
  c.cSend_Port = "587";
  c.cSend_From = "from@x.de";
  c.cSend_Back = "back@x.de";
  return c;
}

struct TextCase {
  const char* what;
  bool error_mail;
  MailValues mail;
  std::string expected;
};

TEST(ArgumentText, IsRenderedExactlyWithItsQuotes) {
  const std::string host = "-host:u:p:w@mail.example.com:587 -starttls";
  const std::vector<TextCase> cases = {
      {"job mail", false,
       {"kunde@example.com", "Rechnung \"Mai\"", "Zeile 1\r\nZeile 2", "C:\\XARV\\PDF\\a.pdf",
        "C:\\XARV\\CMail\\Ausgang\\a_004711_1.result"},
       host + " -to:kunde@example.com -from:from@x.de -reply-to:back@x.de \"-subject:Rechnung \"Mai\"\" " +
           "\"-body:Zeile 1\r\nZeile 2\" -a:C:\\XARV\\PDF\\a.pdf -dsn:SFD -mdn " +
           "\"-results:C:\\XARV\\CMail\\Ausgang\\a_004711_1.result\""},
      {"job mail, empty fields", false,
       {"k@x.de", "", "", "", "C:\\r.result"},
       host + " -to:k@x.de -from:from@x.de -reply-to:back@x.de \"-subject:\" \"-body:\" -a: -dsn:SFD -mdn " +
           "\"-results:C:\\r.result\""},
      {"error mail", true,
       {"pm@x.de", "F E H L E R \"x\"", "A C H T U N G :\r\nzweite Zeile", "", "Fehlermail.result"},
       host + " -to:pm@x.de -from:from@x.de -reply-to:from@x.de -subject:\"F E H L E R \"x\"\" " +
           "-body:\"A C H T U N G :\r\nzweite Zeile\" -dsn:SFD -mdn -results:\"Fehlermail.result\""},
  };
  for (const auto& tc : cases) {
    SCOPED_TRACE(tc.what);
    EXPECT_EQ(tc.error_mail ? error_mail_text(conn(), tc.mail) : job_mail_text(conn(), tc.mail), tc.expected);
  }
}

TEST(ArgumentVector, KeepsEveryValueInsideItsOwnOptionAndMapsPaths) {
  World w;
  write_bytes(w.c / "PDF" / "Form A.pdf", "%PDF");
  const MailValues mail{"kunde@example.com", "Betreff \" -to:evil@x", "\"-to:evil@x\"\r\nZeile 2",
                        "c:\\pdf\\FORM A.PDF", "C:\\XARV\\CMail\\Ausgang\\a_004711_1.result"};
  const std::vector<std::string> expected = {
      "-host:u:p:w@mail.example.com:587",
      "-starttls",
      "-to:kunde@example.com",
      "-from:from@x.de",
      "-reply-to:back@x.de",
      "-subject:Betreff \" -to:evil@x",
      "-body:\"-to:evil@x\"\r\nZeile 2",
      "-a:" + (w.c / "PDF" / "Form A.pdf").string(),
      "-dsn:SFD",
      "-mdn",
      "-results:" + (w.data / "CMail" / "Ausgang" / "a_004711_1.result").string(),
  };
  EXPECT_EQ(job_mail_argv(conn(), mail), expected);
}

TEST(ArgumentVector, ErrorMailHasNoAttachmentAndAnswersToTheSender) {
  World w;
  const MailValues mail{"pm@x.de", "F E H L E R", "A\r\nB", "", "Fehlermail.result"};
  const std::vector<std::string> expected = {
      "-host:u:p:w@mail.example.com:587", "-starttls", "-to:pm@x.de", "-from:from@x.de", "-reply-to:from@x.de",
      "-subject:F E H L E R", "-body:A\r\nB", "-dsn:SFD", "-mdn",
      "-results:Fehlermail.result",  // the client runs in our working directory
  };
  EXPECT_EQ(error_mail_argv(conn(), mail), expected);
}

TEST(ArgumentVector, ConnectionTextsReachTheClientIn1252) {
  World w;
  Connection c = conn();
  c.cSend_PW = "pässwort";
  const auto argv = error_mail_argv(c, {"pm@x.de", "s", "b", "", "Fehlermail.result"});
  EXPECT_EQ(argv[0], "-host:u:p\xe4sswort@mail.example.com:587");
}

TEST(ClientPath, AnUnmappablePathIsHandedOnAsItStands) {
  World w;
  EXPECT_EQ(client_path("Q:\\nirgends\\a.pdf"), "Q:\\nirgends\\a.pdf");
  EXPECT_EQ(client_path("C:\\XARV\\CMAIL\\neu.result"), (w.data / "CMail" / "neu.result").string());
}

TEST(StartClient, StartsTheProgramBelowTheDataRootWithTheVector) {
  World w;
  const std::vector<std::string> argv = {"-to:a@b.de", "-body:mit \"Quote\" und\r\nZeile", "-results:x.result"};
  ASSERT_TRUE(start_client(w.app.cDatver, argv).ok);
  // The result lands in the working directory, named as given.
  const auto result = wait_for_result("x.result");
  ASSERT_TRUE(result.has_value());
  EXPECT_NE(result->find("\"status\": \"accepted\""), std::string::npos);
  ASSERT_EQ(w.calls().size(), 1u);
  EXPECT_EQ(w.calls()[0], argv);
  EXPECT_TRUE(fs::exists(w.work / "x.result"));
}

TEST(StartClient, AMissingClientIsReportedNotThrown) {
  World w;
  fs::remove(w.data / "CMail" / "cmail.exe");
  const auto started = start_client(w.app.cDatver, {"-to:a@b.de"});
  EXPECT_FALSE(started.ok);
  EXPECT_FALSE(started.error.empty());
}

// The real waits go through the pace waiter; recording them makes the checks visible.
class ResultWait : public ::testing::Test {
 protected:
  World w;
  std::vector<int> waits;
  fs::path file = w.outbox() / "a_004711_1.result";
  const std::string winpath = "C:\\XARV\\CMail\\Ausgang\\a_004711_1.result";

  void record(int appear_on_call) {
    set_pace_waiter([this, appear_on_call](int ms) {
      waits.push_back(ms);
      if (static_cast<int>(waits.size()) == appear_on_call) write_bytes(file, "{\"status\": \"failure\"}");
    });
  }
  void TearDown() override {
    set_pace_waiter(nullptr);
    set_pace_factor(0);
  }
};

TEST_F(ResultWait, NormalPaceChecksAfterFiveAndAfterFifteenSeconds) {
  set_pace_factor(1);
  struct Case {
    int appear_on_call;  // 0 = already there, 99 = never
    bool found;
    std::vector<int> waits;
  };
  for (const Case& c : std::vector<Case>{{0, true, {5000}}, {1, true, {5000}}, {2, true, {5000, 10000}},
                                         {99, false, {5000, 10000}}}) {
    SCOPED_TRACE(c.appear_on_call);
    fs::remove(file);
    waits.clear();
    if (c.appear_on_call == 0) write_bytes(file, "{\"status\": \"failure\"}");
    record(c.appear_on_call);
    const auto result = wait_for_result(winpath);
    EXPECT_EQ(result.has_value(), c.found);
    if (result) {
      EXPECT_EQ(*result, "{\"status\": \"failure\"}");
    }
    EXPECT_EQ(waits, c.waits);
  }
}

TEST_F(ResultWait, FastModePollsInTenMillisecondSteps) {
  set_pace_factor(0);
  record(7);
  const auto result = wait_for_result(winpath);
  ASSERT_TRUE(result.has_value());
  EXPECT_EQ(waits, std::vector<int>(7, 10));
}

TEST_F(ResultWait, FastModeWithAFilePresentDoesNotWait) {
  set_pace_factor(0);
  write_bytes(file, "x");
  record(99);
  EXPECT_EQ(wait_for_result(winpath), std::optional<std::string>("x"));
  EXPECT_TRUE(waits.empty());
}

#ifdef CMAIL_EXECUTABLE
// The real client against the real server: what a subject or body holds arrives as it is, and
// a body that looks like an option adds no recipient.
TEST(RealClient, QuotesAndOptionLookalikesReachTheServerUnchanged) {
  World w;
  testing::install_real_cmail(w, cmail::testing::test_ca().ca_cert);
  cmail::testing::TestServer server(
      cmail::testing::ServerOptions().with_tls().with_auth("info@firma.de:ge:h@im").with_dsn());
  Connection c;
  c.cSend_Host = "127.0.0.1";
  c.cSend_User = "info@firma.de";
  c.cSend_PW = "ge:h@im";
  c.cSend_Port = std::to_string(server.port());
  c.cSend_From = "info@firma.de";
  c.cSend_Back = "buero@firma.de";

  const std::string subject = "Angebot \"Sommer\" -to:evil@x";
  const std::string body = "\"-to:evil@x\" -cafile:/etc/passwd\r\nZeile 2 \" -a:/etc/shadow";
  const std::string result = "C:\\XARV\\CMail\\Ausgang\\Angebot_000001_1.result";
  ASSERT_TRUE(start_client(w.app.cDatver, job_mail_argv(c, {"kunde@example.com", subject, body, "", result})).ok);
  const auto answer = wait_for_result(result);
  ASSERT_TRUE(answer.has_value());
  EXPECT_NE(answer->find("\"status\": \"accepted\""), std::string::npos) << *answer;

  ASSERT_EQ(server.stored(), 1);
  EXPECT_EQ(server.envelope(1)["rcpt_tos"], nlohmann::json::array({"kunde@example.com"}));
  const auto mail = cmail::testing::parse_mail(server.message(1));
  EXPECT_EQ(mail.subject, subject);
  ASSERT_EQ(mail.parts.size(), 1u);  // no attachment smuggled in
  EXPECT_NE(mail.parts[0].bytes.find(body), std::string::npos) << mail.parts[0].bytes;
  EXPECT_EQ(mail.reply_to.find("buero@firma.de") != std::string::npos, true) << mail.reply_to;
}
#endif

}  // namespace
}  // namespace orvex::dispatch

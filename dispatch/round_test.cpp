#include "dispatch/round.h"

#include <gtest/gtest.h>

#include "dispatch/folder_reports.h"
#include "dispatch/send_test_world.h"
#include "platform/pace/pace.h"
#include "platform/text/codepage.h"

namespace orvex::dispatch {
namespace {

using testing::World;
using testing::write_bytes;
namespace fs = std::filesystem;

bool contains(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }
bool ends_with(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class Round : public ::testing::Test {
 protected:
  World w;
  std::vector<int> waits;

  // Normal pace whose pauses pass at once and are recorded; the result check waits for the
  // stand-in client instead of five real seconds.
  void record_pauses(const fs::path& result = {}) {
    set_pace_factor(1);
    set_pace_waiter([this, result](int ms) {
      waits.push_back(ms);
      const bool result_check = ms == 5000 && waits.size() == 5;
      for (int i = 0; result_check && !result.empty() && i < 1000 && !fs::exists(result); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
  }
  void TearDown() override {
    set_pace_waiter(nullptr);
    set_pace_factor(0);
    World::settle();
  }
  std::string arg(const std::vector<std::string>& argv, const std::string& option) {
    for (const auto& a : argv)
      if (a.rfind(option, 0) == 0) return a.substr(option.size());
    return "<none>";
  }
};

TEST_F(Round, EmptyOutboxSendsNothingEvenWithOldFailures) {
  write_bytes(w.outbox() / "failure" / "Alt_000001_1.ausg", "kunde@example.com");
  EXPECT_TRUE(Senden(w.app));
  EXPECT_EQ(w.mle1.value, "\r\nMailAusgang ist leer");
  World::settle();
  EXPECT_TRUE(w.calls().empty());
  EXPECT_EQ(w.bs.colours, (std::vector<int>{5, 6}));
  EXPECT_EQ(w.bh.colours, (std::vector<int>{0}));
  EXPECT_EQ(w.app.nAufSendung, 0);
}

TEST_F(Round, AllAcceptedClosesWithoutAberAndWithoutErrorMail) {
  w.job("Brief_004711_1.ausg", "kunde@example.com");
  EXPECT_TRUE(Senden(w.app));
  EXPECT_TRUE(contains(w.mle1.value, "Brief_004711_1.ausg - erledigt!"));
  EXPECT_TRUE(contains(w.mle1.value, "\r\n\r\nAbschluss-Meldung um "));
  EXPECT_TRUE(ends_with(w.mle1.value, " Uhr:\r\nalle Sendungen bearbeitet!")) << w.mle1.value;
  World::settle();
  ASSERT_EQ(w.calls().size(), 1u);  // the job only
  EXPECT_EQ(w.bs.colours, (std::vector<int>{5, 6}));
}

TEST_F(Round, FailureAndQuarantineAreReportedAndMailedToThePostmaster) {
  fs::create_directories(w.outbox() / "Archiv");
  w.answer("kunde@example.com", "failure");
  w.job("A_004711_1.ausg", "kunde@example.com");
  w.job("A_004711_2.ausg", "fremd@example.com");
  record_pauses(w.outbox() / "A_004711_1.result");
  EXPECT_TRUE(Senden(w.app));

  const std::string report = "\r\n\r\nABER:\r\nFehlerdateien im Failure-Ordner." + SendeFehler(w.app, 1) +
                             "\r\n\r\nABER:\r\nFehlerdateien im Quarantine-Ordner." + SendeFehler(w.app, 2);
  EXPECT_TRUE(ends_with(w.mle1.value, "alle Sendungen bearbeitet!" + report)) << w.mle1.value;

  const auto mail = w.wait_for_error_mail();
  ASSERT_FALSE(mail.empty());
  EXPECT_EQ(arg(mail, "-to:"), "postmaster@orvex.test");
  EXPECT_EQ(arg(mail, "-from:"), "absender@orvex.test");
  EXPECT_EQ(arg(mail, "-reply-to:"), "absender@orvex.test");
  EXPECT_EQ(arg(mail, "-subject:"), "F E H L E R - Meldung von Brevor");
  EXPECT_EQ(arg(mail, "-body:"), text::utf8_to_cp1252("A C H T U N G :\r\nBeim Senden einer Mail sind folgende nicht "
                                                      "automatisch korrigierbare Fehler passiert!\r\n" +
                                                      w.mle1.value));
  EXPECT_EQ(arg(mail, "-a:"), "<none>");
  EXPECT_EQ(arg(mail, "-results:"), "Fehlermail.result");
  // Job A: list, two new sent folders, describe, result, done; job B: list, quarantine;
  // then the pause after the error mail.
  EXPECT_EQ(waits, (std::vector<int>{1000, 1000, 1000, 2000, 5000, 2500, 1000, 3000, 5000}));
}

TEST_F(Round, NoAnswerFromTheClientIsMailedAndShownToTheOperator) {
  fs::create_directories(w.outbox() / "Archiv");
  w.answer("kunde@example.com", "none");
  w.job("A_004711_1.ausg", "kunde@example.com");
  w.job("A_004711_2.ausg", "fremd@example.com");
  record_pauses();
  EXPECT_TRUE(Senden(w.app));

  const std::string cMessage = "\r\nVermutlich:\r\nKeine Rückmeldung vom Mail-Server.";
  ASSERT_EQ(w.ui.windows.size(), 1u);
  EXPECT_EQ(w.ui.windows[0].text, "Probleme beim Senden!" + cMessage);
  EXPECT_EQ(w.ui.windows[0].title, "Abschluss-Meldung:");
  EXPECT_EQ(w.ui.windows[0].width, 500);
  EXPECT_EQ(w.ui.windows[0].height, 500);
  EXPECT_FALSE(contains(w.mle1.value, "Abschluss-Meldung"));
  EXPECT_TRUE(fs::exists(w.outbox() / "A_004711_1.ausg"));
  EXPECT_TRUE(fs::exists(w.outbox() / "A_004711_2.ausg"));

  const auto mail = w.wait_for_error_mail();
  ASSERT_FALSE(mail.empty());
  EXPECT_EQ(arg(mail, "-subject:"), "F E H L E R - Meldung von CMail");
  EXPECT_EQ(arg(mail, "-body:"), "A C H T U N G :\r\n\r\nVermutlich:\r\nKeine R\xfc" "ckmeldung vom Mail-Server.");
  // No pause after error mail B.
  EXPECT_EQ(waits, (std::vector<int>{1000, 1000, 1000, 2000, 5000, 10000}));
  EXPECT_EQ(w.bs.colours, (std::vector<int>{5, 6}));
  EXPECT_EQ(w.app.nAufSendung, 0);
}

TEST_F(Round, SecondCallWhileARoundRunsTouchesNothing) {
  w.job("A_004711_1.ausg", "kunde@example.com");
  w.app.nAufSendung = 1;
  EXPECT_FALSE(Senden(w.app));
  EXPECT_EQ(w.app.nAufSendung, 1);
  EXPECT_TRUE(w.bs.colours.empty());
  EXPECT_TRUE(w.bh.colours.empty());
  EXPECT_TRUE(w.mle1.history.empty());
  EXPECT_TRUE(fs::exists(w.outbox() / "A_004711_1.ausg"));
  World::settle();
  EXPECT_TRUE(w.calls().empty());
}

TEST_F(Round, UnreadableConnectionDataIsShownAndTheRoundEndsCleanly) {
  fs::remove(w.data / "CMail" / "Verbindung.dat");
  w.job("A_004711_1.ausg", "kunde@example.com");
  w.mle1.value = "alte Übersicht";
  EXPECT_TRUE(Senden(w.app));
  EXPECT_TRUE(contains(w.mle1.value, "alte Übersicht\r\n\r\nKein Sendelauf: ")) << w.mle1.value;
  EXPECT_TRUE(contains(w.mle1.value, "Verbindung.dat"));
  EXPECT_TRUE(fs::exists(w.outbox() / "A_004711_1.ausg"));
  EXPECT_EQ(w.app.nAufSendung, 0);
  EXPECT_EQ(w.bs.colours, (std::vector<int>{5, 6}));
  World::settle();
  EXPECT_TRUE(w.calls().empty());
}

TEST(ErrorBody, ALongBodyIsCutWithANoteOfWhatWasLeftOut) {
  std::string body = "ANFANG";
  body += std::string(300000, 'x');
  body += "ENDE";
  const std::string cut = fit_error_body(body);
  EXPECT_LE(cut.size(), kMaxErrorBody);
  EXPECT_EQ(cut.substr(0, 6), "ANFANG");
  EXPECT_TRUE(ends_with(cut, "xENDE"));
  const auto note = cut.find("\r\n\r\n[... Text gek\xfcrzt: ");
  ASSERT_NE(note, std::string::npos);
  const std::size_t left_out = std::stoul(cut.substr(note + 23));
  const auto note_end = cut.find("ausgelassen ...]\r\n\r\n", note) + 20;
  EXPECT_EQ(cut.size() - (note_end - note) + left_out, body.size());

  for (const std::string& small : {std::string(), std::string("A\r\nB"), std::string(kMaxErrorBody, 'y')})
    EXPECT_EQ(fit_error_body(small), small);
}

TEST(ErrorBody, AnOverlongErrorMailStillGoes) {
  World w;
  dispatch::Connection conn;
  conn.cSend_Host = "smtp.test";
  conn.cSend_From = "absender@orvex.test";
  // Far beyond what one argument may hold on Linux.
  ASSERT_TRUE(send_error_mail(w.app, conn, "F E H L E R", "Übersicht\r\n" + std::string(400000, 'z')));
  const auto mail = w.wait_for_error_mail();
  ASSERT_FALSE(mail.empty());
  const std::string body = mail[6];
  EXPECT_EQ(body.substr(0, 19), "-body:\xdc" "bersicht\r\nzz");
  EXPECT_LE(body.size(), kMaxErrorBody + 6);
  EXPECT_TRUE(contains(body, "Zeichen hier ausgelassen"));
  World::settle();
}

}  // namespace
}  // namespace orvex::dispatch

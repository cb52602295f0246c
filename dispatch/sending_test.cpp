#include "dispatch/sending.h"

#include <gtest/gtest.h>

#include "dispatch/send_test_world.h"
#include "platform/files/files.h"
#include "platform/pace/pace.h"

#ifdef CMAIL_EXECUTABLE
#include "testing/parsed_mail.h"
#include "testing/test_ca.h"
#include "testing/test_server.h"
#endif

namespace orvex::dispatch {
namespace {

using testing::LogRow;
using testing::read_bytes;
using testing::write_bytes;
using testing::write_order_table;
namespace fs = std::filesystem;

const std::vector<std::string> kLines = {"smtp.test", "user", "pw", "2525", "absender@orvex.test",
                                         "antwort@orvex.test"};
const std::string kJob = "Sterbefall_2024-05-17_004711_1.ausg";
const std::string kForm = "Sterbefall_2024-05-17_004711";

bool contains(const std::string& hay, const std::string& needle) { return hay.find(needle) != std::string::npos; }

class SendingPass : public ::testing::Test {
 protected:
  testing::World w;

  bool pass() { return Mails_Senden(w.app, kLines, files::list(w.app.cDatver + "CMail\\Ausgang\\*.ausg")); }
  bool pass(std::vector<std::string> names) {
    std::vector<files::DirEntry> listing;
    for (auto& n : names) listing.push_back({n, 0});
    return Mails_Senden(w.app, kLines, listing);
  }
  fs::path pdf() {
    write_bytes(w.c / "PDF" / "form.pdf", "%PDF-1.4 Formular");
    return w.c / "PDF" / "form.pdf";
  }
};

TEST_F(SendingPass, AcceptedJobIsFiledInItsSentFolderAndLogged) {
  pdf();
  w.job(kJob, "Kunde@Example.com |||Gr\xfc\xdf" "e \"Mai\"|||Zeile 1\r\nZeile 2|||C:\\PDF\\FORM.pdf");
  ASSERT_TRUE(pass());

  const auto sent = w.sent("004711", "Sterbefall");
  EXPECT_FALSE(fs::exists(w.outbox() / kJob));
  EXPECT_FALSE(fs::exists(w.outbox() / "Sterbefall_2024-05-17_004711_1.result"));
  EXPECT_TRUE(fs::exists(sent / kJob));
  EXPECT_TRUE(contains(read_bytes(sent / "Sterbefall_2024-05-17_004711_1.result"), "\"status\": \"accepted\""));
  EXPECT_EQ(read_bytes(sent / "Sterbefall_2024-05-17_004711_1.pdf"), "%PDF-1.4 Formular");
  EXPECT_TRUE(fs::exists(w.c / "PDF" / "form.pdf"));  // the attachment itself stays

  EXPECT_EQ(w.log_rows(), (std::vector<LogRow>{{"004711", "M", kForm, "kunde@example.com"}}));
  EXPECT_TRUE(contains(w.mle1.value, kJob + " - erledigt!"));
  EXPECT_EQ(w.mle20.value, "");
  EXPECT_EQ(w.mle30.value, "");

  // What the operator saw while it went, and what the client got (1252 bytes, unquoted).
  EXPECT_EQ(w.mle20.history.front(), "Noch zu versendende E-Mails:\r\n" + kJob + "\r\n");
  EXPECT_EQ(w.mle30.history.front(),
            "Diese E-Mail wird jetzt gesendet:\r\nC:\\XARV\\CMail\\Ausgang\\" + kJob +
                " : \r\n\r\nDiese E-Mail geht an: \r\nkunde@example.com\r\nBetreff: \r\nGrüße \"Mai\"\r\n"
                "Text: \r\nZeile 1\r\nZeile 2\r\nAnhang: \r\nC:\\PDF\\FORM.pdf");
  ASSERT_EQ(w.calls().size(), 1u);
  const auto argv = w.calls()[0];
  EXPECT_EQ(argv[2], "-to:kunde@example.com");
  EXPECT_EQ(argv[4], "-reply-to:antwort@orvex.test");
  EXPECT_EQ(argv[5], "-subject:Gr\xfc\xdf" "e \"Mai\"");
  EXPECT_EQ(argv[6], "-body:Zeile 1\r\nZeile 2");
  EXPECT_EQ(argv[7], "-a:" + (w.c / "PDF" / "form.pdf").string());
}

TEST_F(SendingPass, DefaultTextsReachTheClientIn1252) {
  w.job(kJob, "kunde@example.com");
  ASSERT_TRUE(pass());
  ASSERT_EQ(w.calls().size(), 1u);
  EXPECT_EQ(w.calls()[0][5], "-subject:Formular f\xfcr Sterbefall");
  EXPECT_EQ(w.calls()[0][6], "-body:Formular f\xfcr Sterbefall im Anhang");
}

TEST_F(SendingPass, FailureGoesToTheFailureFolderWithItsResult) {
  w.answer("kunde@example.com", "failure");
  w.job(kJob, "kunde@example.com|||S|||B");
  w.mle2.value = "\r\nFailure-Ordner ist leer.";
  ASSERT_TRUE(pass());

  const auto failure = w.outbox() / "failure";
  EXPECT_FALSE(fs::exists(w.outbox() / kJob));
  EXPECT_TRUE(fs::exists(failure / kJob));
  EXPECT_TRUE(contains(read_bytes(failure / "Sterbefall_2024-05-17_004711_1.result"), "failure"));
  EXPECT_EQ(w.bw1.background(), 7);
  EXPECT_EQ(w.mle2.value, "Fehler im Failure-Ordner:\r\n" + kJob + " - FEHLER");
  EXPECT_TRUE(contains(w.mle1.value, kJob + " - Fehler!"));
  EXPECT_EQ(w.log_rows(), (std::vector<LogRow>{{"004711", "F", kForm, "kunde@example.com"}}));
}

TEST_F(SendingPass, RecipientNotOnTheWhitelistIsQuarantinedAfterTheSentFoldersWereMade) {
  // "mde@example.com" lies inside the whitelisted "kunde@example.com": still not allowed.
  for (const std::string adr : {"fremd@example.com", "mde@example.com"}) {
    SCOPED_TRACE(adr);
    w.job(kJob, adr + "|||S|||B");
    w.mle3.value = "";
    ASSERT_TRUE(pass());
    EXPECT_TRUE(fs::exists(w.outbox() / "quarantine" / kJob));
    EXPECT_FALSE(fs::exists(w.outbox() / kJob));
    EXPECT_TRUE(fs::is_directory(w.sent("004711", "Sterbefall")));
    EXPECT_EQ(w.bw2.background(), 7);
    EXPECT_EQ(w.mle3.value, "Fehler im Quarantine-Ordner:\r\n" + kJob + " - Adresse?");
    EXPECT_TRUE(contains(w.mle1.value, kJob + " - Adresse?"));
    EXPECT_EQ(w.log_rows().back(), (LogRow{"004711", "Q", kForm, adr}));
  }
  EXPECT_TRUE(w.calls().empty());
}

TEST_F(SendingPass, QuarantineReportGrowsUnderItsHeader) {
  w.mle3.value = "Fehler im Quarantine-Ordner:\r\nalt_000001_1.ausg - Adresse?";
  w.job(kJob, "fremd@example.com");
  ASSERT_TRUE(pass());
  EXPECT_EQ(w.mle3.value, "Fehler im Quarantine-Ordner:\r\nalt_000001_1.ausg - Adresse?\r\n" + kJob + " - Adresse?");
}

TEST_F(SendingPass, RecipientWithoutAUsableAddressIsQuarantinedWithItsReason) {
  struct Case {
    const char* what;
    std::string recipient;
    bool table;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"empty recipient", "", true, "kein Empfänger im Auftrag"},
      {"blank recipient", "  \r\n", true, "kein Empfänger im Auftrag"},
      {"order not found", "E-Mail", true, "Auftrag 4711 ist in der Auftragstabelle nicht zu finden."},
      {"no order table", " email ", false, "Die Auftragstabelle best.dbf fehlt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& e : fs::directory_iterator(w.work)) fs::remove_all(e.path());
    if (c.table) write_order_table(w.work, {{999, "kunde@example.com", ""}});
    w.job(kJob, c.recipient + "|||S|||B");
    w.mle3.value = "";
    ASSERT_TRUE(pass());
    EXPECT_TRUE(fs::exists(w.outbox() / "quarantine" / kJob));
    EXPECT_TRUE(contains(w.mle3.value, kJob + " - Adresse? (" + c.reason)) << w.mle3.value;
    const auto row = w.log_rows().back();
    EXPECT_EQ(row.ART, "Q");
    const std::string reason = c.reason;  // the log holds it cut to its 50 characters
    EXPECT_EQ(row.ADRESSE.substr(0, std::min<std::size_t>(reason.size(), 50)), reason.substr(0, 50));
  }
  EXPECT_TRUE(w.calls().empty());
}

TEST_F(SendingPass, LookedUpAddressIsSentToWhenWhitelisted) {
  write_order_table(w.work, {{4711, " Kunde@Example.com ", "Notiz\r\nE-Mail: zweiter@example.com"}});
  w.job(kJob, "E-Mail |||S|||B");
  w.job("Brief_2024-05-17_004711_1.ausg", "NotizFeld|||S|||B");
  ASSERT_TRUE(pass());
  ASSERT_EQ(w.calls().size(), 2u);
  EXPECT_EQ(w.calls()[0][2], "-to:zweiter@example.com");  // Brief... is listed first
  EXPECT_EQ(w.calls()[1][2], "-to:Kunde@Example.com");
  EXPECT_EQ(w.log_rows().size(), 2u);
}

TEST_F(SendingPass, MarkGoesToTheFirstOccurrenceOfTheName) {
  pdf();
  w.job("11_a.ausg", "kunde@example.com|||S|||B|||C:\\PDF\\form.pdf");
  w.job("1_a.ausg", "kunde@example.com|||S|||B|||C:\\PDF\\form.pdf");
  ASSERT_TRUE(pass());
  EXPECT_TRUE(contains(w.mle1.value, "\r\n11_a.ausg - erledigt! - erledigt!\r\n1_a.ausg\r\n")) << w.mle1.value;
  EXPECT_EQ(w.log_rows().size(), 2u);
}

TEST_F(SendingPass, ResultWithNeitherStatusLeavesJobAndResultUnlogged) {
  w.answer("kunde@example.com", "neither");
  w.job(kJob, "kunde@example.com");
  ASSERT_TRUE(pass());
  EXPECT_TRUE(fs::exists(w.outbox() / kJob));
  EXPECT_TRUE(fs::exists(w.outbox() / "Sterbefall_2024-05-17_004711_1.result"));
  EXPECT_FALSE(contains(w.mle1.value, " - "));
  EXPECT_TRUE(w.log_rows().empty());
}

TEST_F(SendingPass, StaleResultOfAnEarlierSendIsNotTakenForThisOne) {
  write_bytes(w.outbox() / "Sterbefall_2024-05-17_004711_1.result", "{\"status\": \"failure\"}");
  w.job(kJob, "kunde@example.com");
  ASSERT_TRUE(pass());
  EXPECT_TRUE(fs::exists(w.sent("004711", "Sterbefall") / kJob));
  EXPECT_EQ(w.log_rows().back().ART, "M");
}

TEST_F(SendingPass, NoResultFileEndsThePassAndLeavesTheJobs) {
  // Normal pace, but the pauses pass at once: the stand-in writes nothing anyway.
  set_pace_factor(1);
  set_pace_waiter([](int) {});
  w.answer("kunde@example.com", "none");
  w.job("A_000001_1.ausg", "kunde@example.com");
  w.job("B_000002_1.ausg", "zweiter@example.com");
  const bool done = pass();
  set_pace_waiter(nullptr);
  set_pace_factor(0);
  EXPECT_FALSE(done);
  EXPECT_TRUE(fs::exists(w.outbox() / "A_000001_1.ausg"));
  EXPECT_TRUE(fs::exists(w.outbox() / "B_000002_1.ausg"));
  EXPECT_FALSE(fs::exists(w.data / "CMail" / "gesendet" / "000002"));
  EXPECT_TRUE(contains(w.mle30.value, "Diese E-Mail wird jetzt gesendet:"));  // panels keep their texts
  EXPECT_TRUE(w.log_rows().empty());
}

TEST_F(SendingPass, ClientThatCannotStartEndsThePassWithTheReasonShown) {
  fs::remove(w.data / "CMail" / "cmail.exe");
  w.job(kJob, "kunde@example.com");
  EXPECT_FALSE(pass());
  EXPECT_TRUE(fs::exists(w.outbox() / kJob));
  EXPECT_TRUE(contains(w.mle30.value, "CMail ließ sich nicht starten: ")) << w.mle30.value;
}

TEST_F(SendingPass, JobTooLongForTheClientIsFiledAsFailureAndThePassGoesOn) {
  w.answer("kunde@example.com", "accepted");
  w.job("A_000001_1.ausg", "kunde@example.com|||S|||" + std::string(200000, 'x'));
  w.job("B_000002_1.ausg", "kunde@example.com|||S|||kurz");
  ASSERT_TRUE(pass());

  const auto failure = w.outbox() / "failure";
  EXPECT_TRUE(fs::exists(failure / "A_000001_1.ausg"));
  const std::string result = read_bytes(failure / "A_000001_1.result");
  EXPECT_TRUE(contains(result, "\"status\": \"failure\"")) << result;
  EXPECT_TRUE(contains(result, "-body: ist mit 200000 Bytes zu lang")) << result;
  EXPECT_TRUE(fs::exists(w.data / "CMail" / "gesendet" / "000002" / "B" / "B_000002_1.ausg"));
  EXPECT_EQ(w.log_rows(), (std::vector<LogRow>{{"000001", "F", "A_000001_1.ausg", "kunde@example.com"},
                                               {"000002", "M", "B_000002_1.ausg", "kunde@example.com"}}));
}

TEST_F(SendingPass, VanishedOrEmptyJobIsSkippedAndThePassGoesOn) {
  // The round listed the outbox before the overview split the multi-address job.
  w.job("Multi_004711_1.ausg", "{kunde@example.com,zweiter@example.com}|||S|||B");
  w.job("Leer_004711_1.ausg", "");
  w.job(kJob, "kunde@example.com");
  ASSERT_TRUE(pass({"Leer_004711_1.ausg", "Multi_004711_1.ausg", kJob}));
  EXPECT_TRUE(contains(w.mle1.value, "Multi_004711_1.ausg - übersprungen: Auftragsdatei fehlt oder ist leer"));
  EXPECT_TRUE(contains(w.mle1.value, "Leer_004711_1.ausg - übersprungen"));
  EXPECT_TRUE(fs::exists(w.outbox() / "Multi_004711_1-1.ausg"));  // its split jobs wait for the next round
  EXPECT_TRUE(fs::exists(w.sent("004711", "Sterbefall") / kJob));
  ASSERT_EQ(w.calls().size(), 1u);
  EXPECT_EQ(w.log_rows().size(), 1u);
}

TEST_F(SendingPass, RefusedJobNameStaysUnloggedAndThePassGoesOn) {
  w.job(kJob, "kunde@example.com");
  ASSERT_TRUE(pass({"..\\..\\evil_004711_1.ausg", kJob}));
  EXPECT_TRUE(contains(w.mle1.value, "..\\..\\evil_004711_1.ausg - nicht bearbeitet: ")) << w.mle1.value;
  EXPECT_TRUE(fs::exists(w.sent("004711", "Sterbefall") / kJob));
  EXPECT_EQ(w.log_rows().size(), 1u);
}

TEST_F(SendingPass, FailedMoveLeavesTheJobWhereItWasAndLogsNothing) {
  struct Case {
    const char* what;
    const char* recipient;
    const char* answer;
    fs::path blocked;  // a file where the target folder should be
    const char* says;
  };
  const std::vector<Case> cases = {
      {"quarantine", "fremd@example.com", "accepted", w.outbox() / "quarantine",
       " - nicht in den Quarantine-Ordner verschoben: "},
      {"failure", "kunde@example.com", "failure", w.outbox() / "failure",
       " - Fehler, aber nicht in den Failure-Ordner verschoben: "},
      {"sent", "kunde@example.com", "accepted", w.sent("004711", "Sterbefall"), " - gesendet, aber nicht abgelegt: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(c.blocked);
    write_bytes(c.blocked, "kein Ordner");
    w.answer("kunde@example.com", c.answer);
    w.job(kJob, std::string(c.recipient) + "|||S|||B");
    ASSERT_TRUE(pass());
    EXPECT_TRUE(fs::exists(w.outbox() / kJob));
    EXPECT_TRUE(contains(w.mle1.value, kJob + c.says)) << w.mle1.value;
    EXPECT_TRUE(w.log_rows().empty());
    fs::remove(c.blocked);
    fs::create_directories(c.blocked);
  }
}

TEST_F(SendingPass, AcceptedJobWithoutItsAttachmentKeepsItsFolderWithoutCopy) {
  struct Case {
    const char* what;
    std::string field;
    const char* says;
  };
  for (const Case& c : std::vector<Case>{{"empty field", "", " - erledigt! (ohne Anhang, keine PDF-Kopie)"},
                                         {"missing file", "C:\\PDF\\weg.pdf",
                                          " - erledigt! (Anhang C:\\PDF\\weg.pdf fehlt, keine PDF-Kopie)"}}) {
    SCOPED_TRACE(c.what);
    w.job(kJob, "kunde@example.com|||S|||B|||" + c.field);
    ASSERT_TRUE(pass());
    const auto sent = w.sent("004711", "Sterbefall");
    EXPECT_TRUE(fs::exists(sent / kJob));
    EXPECT_TRUE(fs::exists(sent / "Sterbefall_2024-05-17_004711_1.result"));
    EXPECT_FALSE(fs::exists(sent / "Sterbefall_2024-05-17_004711_1.pdf"));
    EXPECT_TRUE(contains(w.mle1.value, kJob + c.says)) << w.mle1.value;
    EXPECT_EQ(w.log_rows().back().ART, "M");
  }
}

TEST_F(SendingPass, PausesAreTheOperatorsAndTheResultChecks) {
  fs::create_directories(w.outbox() / "Archiv");
  std::vector<int> waits;
  const auto result = w.outbox() / "A_004711_1.result";
  set_pace_factor(1);
  set_pace_waiter([&](int ms) {
    waits.push_back(ms);
    // Instead of five real seconds: until the stand-in has written its result.
    for (int i = 0; ms == 5000 && i < 1000 && !fs::exists(result); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
  });
  w.job("A_004711_1.ausg", "kunde@example.com");
  w.job("A_004711_2.ausg", "fremd@example.com");
  const bool done = pass();
  set_pace_waiter(nullptr);
  set_pace_factor(0);
  ASSERT_TRUE(done);
  // A: list 1 s, two new sent folders 1 s each, describe 2 s, result 5 s, done 2.5 s.
  // A_004711_2: list 1 s, its folders exist now, quarantine 3 s.
  EXPECT_EQ(waits, (std::vector<int>{1000, 1000, 1000, 2000, 5000, 2500, 1000, 3000}));
}

#ifdef CMAIL_EXECUTABLE
TEST_F(SendingPass, RealClientAndServerAcceptOneJobAndRefuseAnother) {
  testing::install_real_cmail(w, cmail::testing::test_ca().ca_cert);
  cmail::testing::TestServer server(cmail::testing::ServerOptions()
                                        .with_tls()
                                        .with_auth("user:pw")
                                        .with_dsn()
                                        .rejecting("zweiter@example.com"));
  std::vector<std::string> lines = kLines;
  lines[0] = "127.0.0.1";
  lines[3] = std::to_string(server.port());
  pdf();
  w.job(kJob, "kunde@example.com|||Gr\xfc\xdf" "e|||Anbei.\r\nMfG|||C:\\PDF\\form.pdf");
  w.job("Brief_000002_1.ausg", "zweiter@example.com|||S|||B");
  ASSERT_TRUE(Mails_Senden(w.app, lines, files::list(w.app.cDatver + "CMail\\Ausgang\\*.ausg")));

  EXPECT_TRUE(fs::exists(w.sent("004711", "Sterbefall") / "Sterbefall_2024-05-17_004711_1.pdf"));
  EXPECT_TRUE(fs::exists(w.outbox() / "failure" / "Brief_000002_1.ausg"));
  EXPECT_TRUE(fs::exists(w.outbox() / "failure" / "Brief_000002_1.result"));
  EXPECT_EQ(w.log_rows(), (std::vector<LogRow>{{"000002", "F", "Brief_000002_1.ausg", "zweiter@example.com"},
                                               {"004711", "M", kForm, "kunde@example.com"}}));
  ASSERT_EQ(server.stored(), 1);
  const auto mail = cmail::testing::parse_mail(server.message(1));
  EXPECT_EQ(mail.subject, "Grüße");
  ASSERT_EQ(mail.parts.size(), 2u);
  EXPECT_EQ(mail.parts[1].bytes, "%PDF-1.4 Formular");
}
#endif

}  // namespace
}  // namespace orvex::dispatch

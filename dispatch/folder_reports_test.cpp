#include "dispatch/folder_reports.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "dispatch/send_test_world.h"

namespace orvex::dispatch {
namespace {

using testing::read_bytes;
using testing::write_bytes;
namespace fs = std::filesystem;

class Folders : public ::testing::Test {
 protected:
  Folders() {
    w.ui.confirm_answer = true;  // unless a test says no
    w.bw1.initial = 7;
    w.bw2.initial = 7;
  }
  testing::Desk w;
};

TEST_F(Folders, SendeFehlerReports) {
  for (int nFQ : {1, 2, 0, 7}) {
    const std::string word = nFQ == 1 ? "Failure" : "Quarantine";
    EXPECT_EQ(SendeFehler(w.app, nFQ), "\r\n" + word + "-Ordner ist leer.") << nFQ;
  }
  write_bytes(w.failure() / "B_000002_1.ausg", "b");
  write_bytes(w.failure() / "B_000002_1.result", "{}");
  write_bytes(w.failure() / "A_000001_1.ausg", "a");
  write_bytes(w.quarantine() / "Q_000003_1.ausg", "q");
  EXPECT_EQ(SendeFehler(w.app, 1),
            "\r\nACHTUNG:\r\nFehlerdatei im Failure-Ordner:\r\nA_000001_1.ausg - Fehler\r\n"
            "B_000002_1.ausg - Fehler");
  for (int nFQ : {2, 0, -1})
    EXPECT_EQ(SendeFehler(w.app, nFQ),
              "\r\nACHTUNG:\r\nFehlerdatei im Quarantine-Ordner:\r\nQ_000003_1.ausg - Adresse?");
}

TEST_F(Folders, WiederholenMovesJobsBack) {
  write_bytes(w.failure() / "A_000001_1.ausg", "neu");
  write_bytes(w.failure() / "A_000001_1.result", R"({"status": "failure"})");
  write_bytes(w.failure() / "Waise_000009_1.result", "stays");
  write_bytes(w.outbox() / "A_000001_1.ausg", "alt");
  w.mle1.value = "\r\nMailAusgang ist leer.\r\n";
  EXPECT_TRUE(Wiederholen(w.app, 1));
  EXPECT_EQ(read_bytes(w.outbox() / "A_000001_1.ausg"), "neu") << "replaces the outbox job";
  EXPECT_FALSE(fs::exists(w.failure() / "A_000001_1.ausg"));
  EXPECT_FALSE(fs::exists(w.failure() / "A_000001_1.result"));
  EXPECT_FALSE(fs::exists(w.outbox() / "A_000001_1.result")) << "the result does not go back";
  EXPECT_TRUE(fs::exists(w.failure() / "Waise_000009_1.result"));
  EXPECT_EQ(w.mle1.value, "ACHTUNG\r\nzurück aus dem Failure-Ordner:\r\nA_000001_1.ausg");
  EXPECT_EQ(w.mle2.value, "\r\nFailure-Ordner ist geleert.");
  EXPECT_EQ(w.bw1.background(), 0);
  EXPECT_EQ(w.bw2.background(), 7);

  // Same folder again: names go under the header; then quarantine adds its own header.
  write_bytes(w.failure() / "B_000002_1.ausg", "b");
  write_bytes(w.failure() / "C_000003_1.ausg", "c");
  EXPECT_TRUE(Wiederholen(w.app, 1));
  write_bytes(w.quarantine() / "Q_000004_1.ausg", "q");
  EXPECT_TRUE(Wiederholen(w.app, 2));
  EXPECT_EQ(w.mle1.value,
            "ACHTUNG\r\nzurück aus dem Failure-Ordner:\r\nA_000001_1.ausg\r\n\r\nB_000002_1.ausg\r\n"
            "C_000003_1.ausg\r\n\r\nzurück aus dem Quarantine-Ordner:\r\nQ_000004_1.ausg");
  EXPECT_EQ(w.mle3.value, "\r\nQuarantine-Ordner ist geleert.");
  EXPECT_EQ(w.bw2.background(), 0);
  EXPECT_EQ(read_bytes(w.outbox() / "Q_000004_1.ausg"), "q");
}

TEST_F(Folders, WiederholenOverviewRules) {
  struct Case {
    std::string before, after;
  } cases[] = {
      {"", "ACHTUNG\r\nzurück aus dem Quarantine-Ordner:\r\nQ_1.ausg"},
      {" \r\n ", "ACHTUNG\r\nzurück aus dem Quarantine-Ordner:\r\nQ_1.ausg"},
      {"Ordner geleert", "ACHTUNG\r\nzurück aus dem Quarantine-Ordner:\r\nQ_1.ausg"},
      {"\r\nMailAusgang\r\nX_1.ausg\r\n",
       "\r\nMailAusgang\r\nX_1.ausg\r\n\r\n\r\nzurück aus dem Quarantine-Ordner:\r\nQ_1.ausg"},
      {"zurück aus dem Failure-Ordner:\r\nF_1.ausg",
       "zurück aus dem Failure-Ordner:\r\nF_1.ausg\r\n\r\nzurück aus dem Quarantine-Ordner:\r\nQ_1.ausg"},
  };
  for (const Case& c : cases) {
    write_bytes(w.quarantine() / "Q_1.ausg", "q");
    w.mle1.value = c.before;
    Wiederholen(w.app, 2);
    EXPECT_EQ(w.mle1.value, c.after) << c.before;
  }
}

TEST_F(Folders, WiederholenOnEmptyFolder) {
  w.mle1.value = "\r\nMailAusgang\r\nX_1.ausg\r\n";
  EXPECT_TRUE(Wiederholen(w.app, 1));
  EXPECT_EQ(w.mle1.value, "\r\nMailAusgang\r\nX_1.ausg\r\n\r\n");
  EXPECT_EQ(w.mle2.value, "\r\nFailure-Ordner ist geleert.");
  EXPECT_EQ(w.bw1.background(), 0);
}

TEST_F(Folders, WiederholenKeepsAJobThatCannotMove) {
  write_bytes(w.failure() / "A_000001_1.ausg", "a");
  write_bytes(w.failure() / "A_000001_1.result", "r");
  fs::create_directories(w.outbox() / "A_000001_1.ausg");  // a folder in the job's place
  w.mle1.value = "\r\nMailAusgang ist leer.\r\n";
  Wiederholen(w.app, 1);
  EXPECT_EQ(read_bytes(w.failure() / "A_000001_1.ausg"), "a");
  EXPECT_EQ(read_bytes(w.failure() / "A_000001_1.result"), "r");
  EXPECT_NE(w.mle1.value.find("A_000001_1.ausg - nicht zurückgeholt: "), std::string::npos)
      << w.mle1.value;
  EXPECT_NE(w.mle2.value.find("Nicht zurückgeholt aus dem Failure-Ordner:"), std::string::npos)
      << w.mle2.value;
  EXPECT_EQ(w.bw1.background(), 7) << "jobs still wait in the folder";
}

TEST_F(Folders, LeerenAskedAndAnsweredNo) {
  write_bytes(w.failure() / "A_000001_1.ausg", "a");
  w.ui.confirm_answer = false;
  EXPECT_TRUE(Leeren(w.app, 1));
  EXPECT_EQ(w.ui.confirm_title, "Wollen Sie den Failure-Ordner leeren?");
  EXPECT_EQ(w.ui.confirm_text, "leeren = Ja --- abbrechen = NEIN");
  EXPECT_TRUE(fs::exists(w.failure() / "A_000001_1.ausg"));
  EXPECT_EQ(w.mle2.history.size(), 0u);
  EXPECT_EQ(w.bw1.background(), 7);
  EXPECT_TRUE(Leeren(w.app, 2));
  EXPECT_EQ(w.ui.confirm_title, "Wollen Sie den Quarantine-Ordner leeren?");
  EXPECT_EQ(w.mle3.history.size(), 0u);
}

TEST_F(Folders, LeerenDeletesJobsAndTheirResults) {
  write_bytes(w.failure() / "A_000001_1.ausg", "a");
  write_bytes(w.failure() / "A_000001_1.result", "r");
  write_bytes(w.failure() / "B_000002_1.ausg", "b");  // without result file
  write_bytes(w.failure() / "Waise_000009_1.result", "stays");
  write_bytes(w.failure() / "notiz.txt", "stays");
  write_bytes(w.quarantine() / "Q_000003_1.ausg", "q");
  write_bytes(w.quarantine() / "Q_000003_1.result", "stays: quarantine jobs have none");
  EXPECT_TRUE(Leeren(w.app, 1));
  EXPECT_FALSE(fs::exists(w.failure() / "A_000001_1.ausg"));
  EXPECT_FALSE(fs::exists(w.failure() / "A_000001_1.result"));
  EXPECT_FALSE(fs::exists(w.failure() / "B_000002_1.ausg"));
  EXPECT_TRUE(fs::exists(w.failure() / "Waise_000009_1.result"));
  EXPECT_TRUE(fs::exists(w.failure() / "notiz.txt"));
  EXPECT_EQ(w.mle2.value, "\r\nFailure-Ordner ist geleert.");
  EXPECT_EQ(w.bw1.background(), 0);
  EXPECT_TRUE(fs::exists(w.quarantine() / "Q_000003_1.ausg"));

  EXPECT_TRUE(Leeren(w.app, 2));
  EXPECT_FALSE(fs::exists(w.quarantine() / "Q_000003_1.ausg"));
  EXPECT_TRUE(fs::exists(w.quarantine() / "Q_000003_1.result"));
  EXPECT_EQ(w.mle3.value, "\r\nQuarantine-Ordner ist geleert.");
  EXPECT_EQ(w.bw2.background(), 0);
}

TEST_F(Folders, LeerenNeverFollowsALinkOut) {
  const fs::path outside = w.c / "Wichtig.ausg";
  const fs::path outside_result = w.c / "Wichtig.result";
  write_bytes(outside, "keep");
  write_bytes(outside_result, "keep");
  fs::create_symlink(outside, w.failure() / "L_000001_1.ausg");
  fs::create_symlink(outside_result, w.failure() / "L_000001_1.result");
  EXPECT_TRUE(Leeren(w.app, 1));
  EXPECT_EQ(read_bytes(outside), "keep");
  EXPECT_EQ(read_bytes(outside_result), "keep");
  EXPECT_FALSE(fs::exists(fs::symlink_status(w.failure() / "L_000001_1.ausg")));
  EXPECT_EQ(SendeFehler(w.app, 1), "\r\nFailure-Ordner ist leer.");
}

}  // namespace
}  // namespace orvex::dispatch

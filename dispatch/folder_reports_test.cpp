#include "dispatch/folder_reports.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/files/drives.h"
#include "platform/pace/pace.h"

namespace orvex::dispatch {
namespace {

namespace fs = std::filesystem;

struct Panel : TextPanel {
  std::string t;
  int writes = 0;
  std::string text() override { return t; }
  void setText(const std::string& s) override {
    t = s;
    ++writes;
  }
};

struct Button : SignalButton {
  int bg = 7;
  void setBackground(int c) override { bg = c; }
  int background() const override { return bg; }
};

struct Ui : OperatorUi {
  bool answer = true;
  std::string title, message;
  void message_box(const std::string&) override {}
  bool confirm(const std::string& t, const std::string& m) override {
    title = t;
    message = m;
    return answer;
  }
  std::string message_window(const std::string& t, const std::string&, int, int) override { return t; }
  void tone(int, int) override {}
  bool wait_for_key(int) override { return false; }
  void set_title(const std::string&) override {}
};

class Folders : public ::testing::Test {
 protected:
  void SetUp() override {
    set_pace_factor(0);
    char tmpl[] = "/tmp/orvex-folders-XXXXXX";
    dir_ = mkdtemp(tmpl);
    files::set_drive('C', dir_);
    app_.cDatver = "C:\\XARV\\";
    outbox_ = dir_ / "XARV" / "CMail" / "Ausgang";
    failure_ = outbox_ / "failure";
    quarantine_ = outbox_ / "quarantine";
    fs::create_directories(failure_);
    fs::create_directories(quarantine_);
    app_.oMle1 = &mle1_;
    app_.oMle2 = &mle2_;
    app_.oMle3 = &mle3_;
    app_.oXbpBW1 = &bw1_;
    app_.oXbpBW2 = &bw2_;
    app_.ui = &ui_;
  }
  void TearDown() override {
    files::clear_drives();
    fs::remove_all(dir_);
  }
  static void put(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
  }
  static std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  App app_;
  Panel mle1_, mle2_, mle3_;
  Button bw1_, bw2_;
  Ui ui_;
  fs::path dir_, outbox_, failure_, quarantine_;
};

TEST_F(Folders, SendeFehlerReports) {
  for (int nFQ : {1, 2, 0, 7}) {
    const std::string word = nFQ == 1 ? "Failure" : "Quarantine";
    EXPECT_EQ(SendeFehler(app_, nFQ), "\r\n" + word + "-Ordner ist leer.") << nFQ;
  }
  put(failure_ / "B_000002_1.ausg", "b");
  put(failure_ / "B_000002_1.result", "{}");
  put(failure_ / "A_000001_1.ausg", "a");
  put(quarantine_ / "Q_000003_1.ausg", "q");
  EXPECT_EQ(SendeFehler(app_, 1),
            "\r\nACHTUNG:\r\nFehlerdatei im Failure-Ordner:\r\nA_000001_1.ausg - Fehler\r\n"
            "B_000002_1.ausg - Fehler");
  for (int nFQ : {2, 0, -1})
    EXPECT_EQ(SendeFehler(app_, nFQ),
              "\r\nACHTUNG:\r\nFehlerdatei im Quarantine-Ordner:\r\nQ_000003_1.ausg - Adresse?");
}

TEST_F(Folders, WiederholenMovesJobsBack) {
  put(failure_ / "A_000001_1.ausg", "neu");
  put(failure_ / "A_000001_1.result", R"({"status": "failure"})");
  put(failure_ / "Waise_000009_1.result", "stays");
  put(outbox_ / "A_000001_1.ausg", "alt");
  mle1_.t = "\r\nMailAusgang ist leer.\r\n";
  EXPECT_TRUE(Wiederholen(app_, 1));
  EXPECT_EQ(read(outbox_ / "A_000001_1.ausg"), "neu") << "replaces the outbox job";
  EXPECT_FALSE(fs::exists(failure_ / "A_000001_1.ausg"));
  EXPECT_FALSE(fs::exists(failure_ / "A_000001_1.result"));
  EXPECT_FALSE(fs::exists(outbox_ / "A_000001_1.result")) << "the result does not go back";
  EXPECT_TRUE(fs::exists(failure_ / "Waise_000009_1.result"));
  EXPECT_EQ(mle1_.t, "ACHTUNG\r\nzurück aus dem Failure-Ordner:\r\nA_000001_1.ausg");
  EXPECT_EQ(mle2_.t, "\r\nFailure-Ordner ist geleert.");
  EXPECT_EQ(bw1_.bg, 0);
  EXPECT_EQ(bw2_.bg, 7);

  // Same folder again: names go under the header; then quarantine adds its own header.
  put(failure_ / "B_000002_1.ausg", "b");
  put(failure_ / "C_000003_1.ausg", "c");
  EXPECT_TRUE(Wiederholen(app_, 1));
  put(quarantine_ / "Q_000004_1.ausg", "q");
  EXPECT_TRUE(Wiederholen(app_, 2));
  EXPECT_EQ(mle1_.t,
            "ACHTUNG\r\nzurück aus dem Failure-Ordner:\r\nA_000001_1.ausg\r\n\r\nB_000002_1.ausg\r\n"
            "C_000003_1.ausg\r\n\r\nzurück aus dem Quarantine-Ordner:\r\nQ_000004_1.ausg");
  EXPECT_EQ(mle3_.t, "\r\nQuarantine-Ordner ist geleert.");
  EXPECT_EQ(bw2_.bg, 0);
  EXPECT_EQ(read(outbox_ / "Q_000004_1.ausg"), "q");
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
    put(quarantine_ / "Q_1.ausg", "q");
    mle1_.t = c.before;
    Wiederholen(app_, 2);
    EXPECT_EQ(mle1_.t, c.after) << c.before;
  }
}

TEST_F(Folders, WiederholenOnEmptyFolder) {
  mle1_.t = "\r\nMailAusgang\r\nX_1.ausg\r\n";
  EXPECT_TRUE(Wiederholen(app_, 1));
  EXPECT_EQ(mle1_.t, "\r\nMailAusgang\r\nX_1.ausg\r\n\r\n");
  EXPECT_EQ(mle2_.t, "\r\nFailure-Ordner ist geleert.");
  EXPECT_EQ(bw1_.bg, 0);
}

TEST_F(Folders, WiederholenKeepsAJobThatCannotMove) {
  put(failure_ / "A_000001_1.ausg", "a");
  put(failure_ / "A_000001_1.result", "r");
  fs::create_directories(outbox_ / "A_000001_1.ausg");  // a folder in the job's place
  mle1_.t = "\r\nMailAusgang ist leer.\r\n";
  Wiederholen(app_, 1);
  EXPECT_EQ(read(failure_ / "A_000001_1.ausg"), "a");
  EXPECT_EQ(read(failure_ / "A_000001_1.result"), "r");
  EXPECT_NE(mle1_.t.find("A_000001_1.ausg - nicht zurückgeholt: "), std::string::npos) << mle1_.t;
  EXPECT_NE(mle2_.t.find("Nicht zurückgeholt aus dem Failure-Ordner:"), std::string::npos) << mle2_.t;
  EXPECT_EQ(bw1_.bg, 7) << "jobs still wait in the folder";
}

TEST_F(Folders, LeerenAskedAndAnsweredNo) {
  put(failure_ / "A_000001_1.ausg", "a");
  ui_.answer = false;
  EXPECT_TRUE(Leeren(app_, 1));
  EXPECT_EQ(ui_.title, "Wollen Sie den Failure-Ordner leeren?");
  EXPECT_EQ(ui_.message, "leeren = Ja --- abbrechen = NEIN");
  EXPECT_TRUE(fs::exists(failure_ / "A_000001_1.ausg"));
  EXPECT_EQ(mle2_.writes, 0);
  EXPECT_EQ(bw1_.bg, 7);
  EXPECT_TRUE(Leeren(app_, 2));
  EXPECT_EQ(ui_.title, "Wollen Sie den Quarantine-Ordner leeren?");
  EXPECT_EQ(mle3_.writes, 0);
}

TEST_F(Folders, LeerenDeletesJobsAndTheirResults) {
  put(failure_ / "A_000001_1.ausg", "a");
  put(failure_ / "A_000001_1.result", "r");
  put(failure_ / "B_000002_1.ausg", "b");  // without result file
  put(failure_ / "Waise_000009_1.result", "stays");
  put(failure_ / "notiz.txt", "stays");
  put(quarantine_ / "Q_000003_1.ausg", "q");
  put(quarantine_ / "Q_000003_1.result", "stays: quarantine jobs have none");
  EXPECT_TRUE(Leeren(app_, 1));
  EXPECT_FALSE(fs::exists(failure_ / "A_000001_1.ausg"));
  EXPECT_FALSE(fs::exists(failure_ / "A_000001_1.result"));
  EXPECT_FALSE(fs::exists(failure_ / "B_000002_1.ausg"));
  EXPECT_TRUE(fs::exists(failure_ / "Waise_000009_1.result"));
  EXPECT_TRUE(fs::exists(failure_ / "notiz.txt"));
  EXPECT_EQ(mle2_.t, "\r\nFailure-Ordner ist geleert.");
  EXPECT_EQ(bw1_.bg, 0);
  EXPECT_TRUE(fs::exists(quarantine_ / "Q_000003_1.ausg"));

  EXPECT_TRUE(Leeren(app_, 2));
  EXPECT_FALSE(fs::exists(quarantine_ / "Q_000003_1.ausg"));
  EXPECT_TRUE(fs::exists(quarantine_ / "Q_000003_1.result"));
  EXPECT_EQ(mle3_.t, "\r\nQuarantine-Ordner ist geleert.");
  EXPECT_EQ(bw2_.bg, 0);
}

TEST_F(Folders, LeerenNeverFollowsALinkOut) {
  const fs::path outside = dir_ / "Wichtig.ausg";
  const fs::path outside_result = dir_ / "Wichtig.result";
  put(outside, "keep");
  put(outside_result, "keep");
  fs::create_symlink(outside, failure_ / "L_000001_1.ausg");
  fs::create_symlink(outside_result, failure_ / "L_000001_1.result");
  EXPECT_TRUE(Leeren(app_, 1));
  EXPECT_EQ(read(outside), "keep");
  EXPECT_EQ(read(outside_result), "keep");
  EXPECT_FALSE(fs::exists(fs::symlink_status(failure_ / "L_000001_1.ausg")));
  EXPECT_EQ(SendeFehler(app_, 1), "\r\nFailure-Ordner ist leer.");
}

}  // namespace
}  // namespace orvex::dispatch

#include "dispatch/outbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>

#include "dispatch/send_test_world.h"

namespace orvex::dispatch {
namespace {

using testing::read_bytes;
namespace fs = std::filesystem;

class Outbox : public ::testing::Test {
 protected:
  std::vector<std::string> outbox_files() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(w.outbox()))
      if (e.is_regular_file()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // The overview without its time of day.
  static std::string untimed(const std::string& text) {
    return std::regex_replace(text, std::regex(" um \\d\\d:\\d\\d:\\d\\d Uhr:"), " um HH:MM:SS Uhr:");
  }
  const std::string kHead = "\r\nMailAusgang\r\nDiese Mails sind zu versenden um HH:MM:SS Uhr:";
  testing::DataRoot w;
};

TEST_F(Outbox, EmptyOutbox) {
  w.job("notiz.txt", "kein Auftrag");
  EXPECT_EQ(MailAusgang(w.app), "\r\nMailAusgang ist leer.\r\n");
  EXPECT_FALSE(fs::exists(w.outbox() / "Archiv")) << "nothing else happens";
}

TEST_F(Outbox, PlainJobsListedAndArchiveCreated) {
  w.job("B_000002_1.ausg", "b@x.de|||S");
  w.job("A_000001_1.ausg", "a@x.de");
  const std::string text = MailAusgang(w.app);
  EXPECT_TRUE(std::regex_search(text, std::regex(" um \\d\\d:\\d\\d:\\d\\d Uhr:")));
  EXPECT_EQ(untimed(text), kHead + "\r\nA_000001_1.ausg\r\nB_000002_1.ausg\r\n");
  EXPECT_TRUE(fs::is_directory(w.outbox() / "Archiv"));
  EXPECT_EQ(read_bytes(w.outbox() / "A_000001_1.ausg"), "a@x.de");
}

TEST_F(Outbox, SplitsMultiAddressJobs) {
  const std::string rest = "|||Betreff|||Text\r\nZeile|||C:\\a.pdf";
  struct Case {
    std::string field;
    std::vector<std::string> addresses;
  } cases[] = {
      {"{a@x.de}", {"a@x.de"}},
      {"{a@x.de,b@y.de}", {"a@x.de", "b@y.de"}},
      {"{a@x.de,b@y.de,}", {"a@x.de", "b@y.de"}},       // no empty last address
      {"{a@x.de,,b@y.de}", {"a@x.de", "", "b@y.de"}},   // an empty recipient part
      {"{a@x.de, b@y.de}", {"a@x.de", " b@y.de"}},      // not trimmed
      {"{a@x.de,b@y.de", {"{a@x.de", "b@y.de"}},        // no "}": the "{" stays
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    fs::remove_all(w.outbox());
    fs::create_directories(w.outbox());
    w.job("X_004711_1.ausg", c.field + rest);
    const std::string text = MailAusgang(w.app);
    std::string want = kHead;
    for (std::size_t i = 0; i < c.addresses.size(); ++i) {
      const std::string part = "X_004711_1-" + std::to_string(i + 1) + ".ausg";
      want += "\r\n" + part;
      EXPECT_EQ(read_bytes(w.outbox() / part), c.addresses[i] + rest);
    }
    EXPECT_EQ(untimed(text), want + "\r\n");
    EXPECT_FALSE(fs::exists(w.outbox() / "X_004711_1.ausg"));
    EXPECT_EQ(read_bytes(w.outbox() / "Archiv" / "X_004711_1.ausg"), c.field + rest);
    EXPECT_EQ(outbox_files().size(), c.addresses.size());
  }
}

TEST_F(Outbox, SecondCallListsTheSplitJobs) {
  w.job("A_000001_1.ausg", "a@x.de");
  w.job("X_004711_1.ausg", "{a@x.de,b@y.de}|||S");
  w.job("Z_000009_1.ausg", "z@x.de");
  fs::create_directories(w.outbox() / "Archiv");
  std::ofstream(w.outbox() / "Archiv" / "X_004711_1.ausg") << "older copy";
  const std::string want =
      kHead + "\r\nA_000001_1.ausg\r\nX_004711_1-1.ausg\r\nX_004711_1-2.ausg\r\nZ_000009_1.ausg\r\n";
  EXPECT_EQ(untimed(MailAusgang(w.app)), want);
  EXPECT_EQ(untimed(MailAusgang(w.app)), want);
  EXPECT_EQ(read_bytes(w.outbox() / "Archiv" / "X_004711_1.ausg"), "{a@x.de,b@y.de}|||S");
  EXPECT_EQ(read_bytes(w.outbox() / "X_004711_1-2.ausg"), "b@y.de|||S");
}

TEST_F(Outbox, APartStillStartingWithABraceIsNotSplitAgain) {
  w.job("X_004711_1.ausg", "{a@x.de,b@y.de|||S");
  MailAusgang(w.app);
  EXPECT_EQ(read_bytes(w.outbox() / "X_004711_1-1.ausg"), "{a@x.de|||S");
  const std::string want = kHead + "\r\nX_004711_1-1.ausg\r\nX_004711_1-2.ausg\r\n";
  EXPECT_EQ(untimed(MailAusgang(w.app)), want);
  EXPECT_EQ(untimed(MailAusgang(w.app)), want);
  EXPECT_EQ(outbox_files(), (std::vector<std::string>{"X_004711_1-1.ausg", "X_004711_1-2.ausg"}));
}

TEST_F(Outbox, OddJobsStayWithANote) {
  w.job("E_000001_1.ausg", "");
  w.job("M_000002_1.ausg", "{a@x.de,b@y.de}");
  const std::string text = MailAusgang(w.app);
  EXPECT_NE(text.find("\r\nE_000001_1.ausg - Auftragsdatei ist leer."), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nM_000002_1.ausg - nicht aufgeteilt: Sammelauftrag ohne \"|||\""),
            std::string::npos) << text;
  EXPECT_EQ(outbox_files(), (std::vector<std::string>{"E_000001_1.ausg", "M_000002_1.ausg"}));
}

TEST_F(Outbox, NoArchiveFolderNoSplit) {
  std::ofstream(w.outbox() / "Archiv") << "a file in the folder's place";
  w.job("X_004711_1.ausg", "{a@x.de,b@y.de}|||S");
  const std::string text = MailAusgang(w.app);
  EXPECT_NE(text.find("X_004711_1.ausg - nicht aufgeteilt: Archiv-Ordner"), std::string::npos) << text;
  EXPECT_EQ(outbox_files(), (std::vector<std::string>{"Archiv", "X_004711_1.ausg"}));
  EXPECT_EQ(read_bytes(w.outbox() / "X_004711_1.ausg"), "{a@x.de,b@y.de}|||S");
}

TEST_F(Outbox, ArchivingFailsAfterThePartsAreWritten) {
  // The archive holds a folder under the job's name: the original cannot go there.
  fs::create_directories(w.outbox() / "Archiv" / "X_004711_1.ausg");
  w.job("X_004711_1.ausg", "{a@x.de,b@y.de}|||S");
  const std::string text = MailAusgang(w.app);
  EXPECT_NE(text.find("X_004711_1.ausg - aufgeteilt, aber nicht archiviert"), std::string::npos) << text;
  EXPECT_EQ(read_bytes(w.outbox() / "X_004711_1.ausg"), "{a@x.de,b@y.de}|||S");
  EXPECT_EQ(read_bytes(w.outbox() / "X_004711_1-1.ausg"), "a@x.de|||S");
  EXPECT_EQ(read_bytes(w.outbox() / "X_004711_1-2.ausg"), "b@y.de|||S");
}

TEST_F(Outbox, PartThatCannotBeWrittenKeepsTheOriginal) {
  // A folder in the place of the second part: no part stays, the original waits in the outbox.
  fs::create_directories(w.outbox() / "X_004711_1-2.ausg");
  w.job("X_004711_1.ausg", "{a@x.de,b@y.de,c@z.de}|||S");
  const std::string text = MailAusgang(w.app);
  EXPECT_NE(text.find("X_004711_1.ausg - nicht aufgeteilt: X_004711_1-2.ausg nicht geschrieben"),
            std::string::npos) << text;
  EXPECT_NE(text.find("bleibt im Ausgang"), std::string::npos);
  EXPECT_EQ(read_bytes(w.outbox() / "X_004711_1.ausg"), "{a@x.de,b@y.de,c@z.de}|||S");
  EXPECT_FALSE(fs::exists(w.outbox() / "X_004711_1-1.ausg"));
  EXPECT_FALSE(fs::exists(w.outbox() / "X_004711_1-3.ausg"));
  EXPECT_FALSE(fs::exists(w.outbox() / "Archiv" / "X_004711_1.ausg"));
}

}  // namespace
}  // namespace orvex::dispatch

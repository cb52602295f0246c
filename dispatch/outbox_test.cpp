#include "dispatch/outbox.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "platform/files/drives.h"
#include "platform/pace/pace.h"

namespace orvex::dispatch {
namespace {

namespace fs = std::filesystem;

class Outbox : public ::testing::Test {
 protected:
  void SetUp() override {
    set_pace_factor(0);
    char tmpl[] = "/tmp/orvex-outbox-XXXXXX";
    dir_ = mkdtemp(tmpl);
    files::set_drive('C', dir_);
    app_.cDatver = "C:\\XARV\\";
    outbox_ = dir_ / "XARV" / "CMail" / "Ausgang";
    fs::create_directories(outbox_);
  }
  void TearDown() override {
    files::clear_drives();
    fs::remove_all(dir_);
  }
  void put(const std::string& name, const std::string& bytes) {
    std::ofstream(outbox_ / name, std::ios::binary) << bytes;
  }
  static std::string read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  std::vector<std::string> outbox_files() {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(outbox_))
      if (e.is_regular_file()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // The overview without its time of day.
  static std::string untimed(const std::string& text) {
    return std::regex_replace(text, std::regex(" um \\d\\d:\\d\\d:\\d\\d Uhr:"), " um HH:MM:SS Uhr:");
  }
  const std::string kHead = "\r\nMailAusgang\r\nDiese Mails sind zu versenden um HH:MM:SS Uhr:";
  App app_;
  fs::path dir_, outbox_;
};

TEST_F(Outbox, EmptyOutbox) {
  put("notiz.txt", "kein Auftrag");
  EXPECT_EQ(MailAusgang(app_), "\r\nMailAusgang ist leer.\r\n");
  EXPECT_FALSE(fs::exists(outbox_ / "Archiv")) << "nothing else happens";
}

TEST_F(Outbox, PlainJobsListedAndArchiveCreated) {
  put("B_000002_1.ausg", "b@x.de|||S");
  put("A_000001_1.ausg", "a@x.de");
  const std::string text = MailAusgang(app_);
  EXPECT_TRUE(std::regex_search(text, std::regex(" um \\d\\d:\\d\\d:\\d\\d Uhr:")));
  EXPECT_EQ(untimed(text), kHead + "\r\nA_000001_1.ausg\r\nB_000002_1.ausg\r\n");
  EXPECT_TRUE(fs::is_directory(outbox_ / "Archiv"));
  EXPECT_EQ(read(outbox_ / "A_000001_1.ausg"), "a@x.de");
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
    fs::remove_all(outbox_);
    fs::create_directories(outbox_);
    put("X_004711_1.ausg", c.field + rest);
    const std::string text = MailAusgang(app_);
    std::string want = kHead;
    for (std::size_t i = 0; i < c.addresses.size(); ++i) {
      const std::string part = "X_004711_1-" + std::to_string(i + 1) + ".ausg";
      want += "\r\n" + part;
      EXPECT_EQ(read(outbox_ / part), c.addresses[i] + rest);
    }
    EXPECT_EQ(untimed(text), want + "\r\n");
    EXPECT_FALSE(fs::exists(outbox_ / "X_004711_1.ausg"));
    EXPECT_EQ(read(outbox_ / "Archiv" / "X_004711_1.ausg"), c.field + rest);
    EXPECT_EQ(outbox_files().size(), c.addresses.size());
  }
}

TEST_F(Outbox, SecondCallListsTheSplitJobs) {
  put("A_000001_1.ausg", "a@x.de");
  put("X_004711_1.ausg", "{a@x.de,b@y.de}|||S");
  put("Z_000009_1.ausg", "z@x.de");
  fs::create_directories(outbox_ / "Archiv");
  std::ofstream(outbox_ / "Archiv" / "X_004711_1.ausg") << "older copy";
  const std::string want =
      kHead + "\r\nA_000001_1.ausg\r\nX_004711_1-1.ausg\r\nX_004711_1-2.ausg\r\nZ_000009_1.ausg\r\n";
  EXPECT_EQ(untimed(MailAusgang(app_)), want);
  EXPECT_EQ(untimed(MailAusgang(app_)), want);
  EXPECT_EQ(read(outbox_ / "Archiv" / "X_004711_1.ausg"), "{a@x.de,b@y.de}|||S");
  EXPECT_EQ(read(outbox_ / "X_004711_1-2.ausg"), "b@y.de|||S");
}

TEST_F(Outbox, APartStillStartingWithABraceIsNotSplitAgain) {
  put("X_004711_1.ausg", "{a@x.de,b@y.de|||S");
  MailAusgang(app_);
  EXPECT_EQ(read(outbox_ / "X_004711_1-1.ausg"), "{a@x.de|||S");
  const std::string want = kHead + "\r\nX_004711_1-1.ausg\r\nX_004711_1-2.ausg\r\n";
  EXPECT_EQ(untimed(MailAusgang(app_)), want);
  EXPECT_EQ(untimed(MailAusgang(app_)), want);
  EXPECT_EQ(outbox_files(), (std::vector<std::string>{"X_004711_1-1.ausg", "X_004711_1-2.ausg"}));
}

TEST_F(Outbox, OddJobsStayWithANote) {
  put("E_000001_1.ausg", "");
  put("M_000002_1.ausg", "{a@x.de,b@y.de}");
  const std::string text = MailAusgang(app_);
  EXPECT_NE(text.find("\r\nE_000001_1.ausg - Auftragsdatei ist leer."), std::string::npos) << text;
  EXPECT_NE(text.find("\r\nM_000002_1.ausg - nicht aufgeteilt: Sammelauftrag ohne \"|||\""),
            std::string::npos) << text;
  EXPECT_EQ(outbox_files(), (std::vector<std::string>{"E_000001_1.ausg", "M_000002_1.ausg"}));
}

TEST_F(Outbox, NoArchiveFolderNoSplit) {
  std::ofstream(outbox_ / "Archiv") << "a file in the folder's place";
  put("X_004711_1.ausg", "{a@x.de,b@y.de}|||S");
  const std::string text = MailAusgang(app_);
  EXPECT_NE(text.find("X_004711_1.ausg - nicht aufgeteilt: Archiv-Ordner"), std::string::npos) << text;
  EXPECT_EQ(outbox_files(), (std::vector<std::string>{"Archiv", "X_004711_1.ausg"}));
  EXPECT_EQ(read(outbox_ / "X_004711_1.ausg"), "{a@x.de,b@y.de}|||S");
}

TEST_F(Outbox, ArchivingFailsAfterThePartsAreWritten) {
  // The archive holds a folder under the job's name: the original cannot go there.
  fs::create_directories(outbox_ / "Archiv" / "X_004711_1.ausg");
  put("X_004711_1.ausg", "{a@x.de,b@y.de}|||S");
  const std::string text = MailAusgang(app_);
  EXPECT_NE(text.find("X_004711_1.ausg - aufgeteilt, aber nicht archiviert"), std::string::npos) << text;
  EXPECT_EQ(read(outbox_ / "X_004711_1.ausg"), "{a@x.de,b@y.de}|||S");
  EXPECT_EQ(read(outbox_ / "X_004711_1-1.ausg"), "a@x.de|||S");
  EXPECT_EQ(read(outbox_ / "X_004711_1-2.ausg"), "b@y.de|||S");
}

TEST_F(Outbox, PartThatCannotBeWrittenKeepsTheOriginal) {
  // A folder in the place of the second part: no part stays, the original waits in the outbox.
  fs::create_directories(outbox_ / "X_004711_1-2.ausg");
  put("X_004711_1.ausg", "{a@x.de,b@y.de,c@z.de}|||S");
  const std::string text = MailAusgang(app_);
  EXPECT_NE(text.find("X_004711_1.ausg - nicht aufgeteilt: X_004711_1-2.ausg nicht geschrieben"),
            std::string::npos) << text;
  EXPECT_NE(text.find("bleibt im Ausgang"), std::string::npos);
  EXPECT_EQ(read(outbox_ / "X_004711_1.ausg"), "{a@x.de,b@y.de,c@z.de}|||S");
  EXPECT_FALSE(fs::exists(outbox_ / "X_004711_1-1.ausg"));
  EXPECT_FALSE(fs::exists(outbox_ / "X_004711_1-3.ausg"));
  EXPECT_FALSE(fs::exists(outbox_ / "Archiv" / "X_004711_1.ausg"));
}

}  // namespace
}  // namespace orvex::dispatch

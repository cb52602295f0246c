#include "platform/files/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <set>

#include "platform/files/drives.h"

namespace orvex::files {
namespace {

namespace fs = std::filesystem;

fs::path make_temp_dir(const fs::path& base) {
  std::string tmpl = (base / "orvex-files-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) return {};
  return tmpl;
}

void put(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

std::string get(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::set<std::string> names_in(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
  return names;
}

// Drive C: is a fresh temp folder with the installation's spelling "CMail\Ausgang\failure".
class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = make_temp_dir(fs::temp_directory_path());
    ASSERT_FALSE(root_.empty());
    set_drive('C', root_);
    outbox_ = root_ / "CMail" / "Ausgang";
    fs::create_directories(outbox_ / "failure");
  }
  void TearDown() override {
    clear_drives();
    fs::remove_all(root_);
  }
  fs::path root_;
  fs::path outbox_;
};

TEST_F(FilesTest, ResolveFindsEveryComponentWithoutRegardToCase) {
  put(outbox_ / "failure" / "x.ausg", "job");
  EXPECT_EQ(resolve("C:\\CMAIL\\Ausgang\\Failure\\x.ausg"), outbox_ / "failure" / "x.ausg");
  EXPECT_EQ(resolve("c:\\cmail\\AUSGANG\\FAILURE\\X.AUSG"), outbox_ / "failure" / "x.ausg");
  EXPECT_TRUE(file_exists("C:\\CMAIL\\Ausgang\\Failure\\X.Ausg"));
  EXPECT_TRUE(dir_exists("C:\\cmail\\ausgang\\FAILURE\\"));
  EXPECT_FALSE(dir_exists("C:\\CMAIL\\Ausgang\\Failure\\x.ausg"));
  EXPECT_FALSE(file_exists("C:\\CMAIL\\Ausgang\\Failure"));
  EXPECT_EQ(read_file("C:\\CMAIL\\Ausgang\\Failure\\x.ausg"), "job");
}

TEST_F(FilesTest, MissingComponentsKeepTheSpellingGiven) {
  EXPECT_EQ(resolve("C:\\cmail\\Gesendet\\004711\\Sterbefall\\A.ausg"),
            root_ / "CMail" / "Gesendet" / "004711" / "Sterbefall" / "A.ausg");
}

TEST_F(FilesTest, ResolveThroughTheEnvironmentFormOfTheDriveMap) {
  clear_drives();
  fs::create_directories(root_ / "XARV/CMail/Ausgang");
  load_drives("T=/nowhere;c=" + root_.string());
  EXPECT_EQ(resolve("C:\\xarv\\CMAIL\\ausgang\\12_a.result"), root_ / "XARV/CMail/Ausgang/12_a.result");
  EXPECT_EQ(resolve("c:/XARV/cmail"), root_ / "XARV/CMail");
  EXPECT_EQ(resolve("C:\\Neu\\Ordner\\x.pdf"), root_ / "Neu/Ordner/x.pdf");
}

TEST_F(FilesTest, ResolveLeavesLinuxAndRelativePathsAlone) {
  EXPECT_EQ(resolve("/tmp/x.result"), fs::path("/tmp/x.result"));
  EXPECT_EQ(resolve("Fehlermail.result"), fs::path("Fehlermail.result"));
  EXPECT_EQ(resolve("sub\\y.result"), fs::path("sub/y.result"));
}

TEST_F(FilesTest, ListingMatchesWildcardsWithoutCaseInWindowsOrder) {
  for (const char* name : {"b.ausg", "A.AUSG", "Sterbefall_1.ausg", "SterbefallX.ausg", "c.txt", "a.ausg.bak",
                           "ab.Ausg"}) {
    put(outbox_ / name, name);
  }
  fs::create_directory(outbox_ / "dir.ausg");  // folders are never listed
  std::vector<std::string> names;
  for (const DirEntry& e : list("C:\\CMAIL\\AUSGANG\\*.ausg")) {
    names.push_back(e.name);
    EXPECT_EQ(e.size, e.name.size()) << e.name;
  }
  // Upper-case order as NTFS keeps it: "_" comes after the letters.
  EXPECT_EQ(names, (std::vector<std::string>{"A.AUSG", "ab.Ausg", "b.ausg", "SterbefallX.ausg", "Sterbefall_1.ausg"}));

  struct Case {
    const char* pattern;
    std::vector<std::string> names;
  } cases[] = {
      {"C:\\CMail\\Ausgang\\?.ausg", {"A.AUSG", "b.ausg"}},
      {"C:\\CMail\\Ausgang\\*.TXT", {"c.txt"}},
      {"C:\\CMail\\Ausgang\\a*", {"A.AUSG", "a.ausg.bak", "ab.Ausg"}},
      {"C:\\CMail\\Ausgang\\*_*.ausg", {"Sterbefall_1.ausg"}},
      {"C:\\CMail\\Ausgang\\failure\\*.ausg", {}},
      {"C:\\CMail\\Nirgends\\*.ausg", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> got;
    for (const DirEntry& e : list(c.pattern)) got.push_back(e.name);
    EXPECT_EQ(got, c.names) << c.pattern;
  }
}

TEST_F(FilesTest, ReadsWholeFilesAsBytes) {
  const std::string binary("a\0b\r\n\xFF\0", 7);
  std::string big(1 << 20, 'x');
  for (std::size_t i = 0; i < big.size(); i += 4099) big[i] = static_cast<char>(i % 251);
  put(outbox_ / "empty.ausg", "");
  put(outbox_ / "binary.ausg", binary);
  put(outbox_ / "big.ausg", big);
  struct Case {
    const char* winpath;
    std::optional<std::string> bytes;
  } cases[] = {
      {"C:\\CMail\\Ausgang\\missing.ausg", std::nullopt},
      {"C:\\CMail\\Ausgang\\failure", std::nullopt},  // a folder is not a file
      {"C:\\CMail\\Ausgang\\empty.ausg", std::string()},
      {"C:\\CMail\\Ausgang\\BINARY.ausg", binary},
      {"C:\\CMail\\Ausgang\\big.ausg", big},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(try_read_file(c.winpath), c.bytes) << c.winpath;
    EXPECT_EQ(read_file(c.winpath), c.bytes.value_or("")) << c.winpath;
  }
}

TEST_F(FilesTest, WriteReplacesWholeFileAndLeavesNoTemporary) {
  put(outbox_ / "Verbindung.dat", "old contents, longer than the new");
  ASSERT_TRUE(write_file("C:\\CMAIL\\AUSGANG\\VERBINDUNG.DAT", std::string("new\0", 4)));
  EXPECT_EQ(get(outbox_ / "Verbindung.dat"), std::string("new\0", 4));
  ASSERT_TRUE(write_file("C:\\CMail\\Ausgang\\Neu.ausg", "x"));
  EXPECT_EQ(names_in(outbox_), (std::set<std::string>{"failure", "Verbindung.dat", "Neu.ausg"}));
}

TEST_F(FilesTest, WriteIntoMissingFolderFailsInGerman) {
  const Status s = write_file("C:\\CMail\\Fehlt\\x.ausg", "x");
  EXPECT_FALSE(s);
  EXPECT_NE(s.error.find("konnte nicht geschrieben werden"), std::string::npos) << s.error;
  EXPECT_NE(s.error.find("C:\\CMail\\Fehlt\\x.ausg"), std::string::npos) << s.error;
}

TEST_F(FilesTest, CopyOverwritesTargetAndKeepsSource) {
  put(outbox_ / "a.ausg", "neu");
  put(outbox_ / "failure" / "a.ausg", "alt und länger");
  ASSERT_TRUE(copy_file("C:\\CMail\\Ausgang\\A.ausg", "C:\\CMail\\Ausgang\\Failure\\A.AUSG"));
  EXPECT_EQ(get(outbox_ / "a.ausg"), "neu");
  EXPECT_EQ(get(outbox_ / "failure" / "a.ausg"), "neu");
  EXPECT_EQ(names_in(outbox_ / "failure"), std::set<std::string>{"a.ausg"});

  const Status missing = copy_file("C:\\CMail\\Ausgang\\fehlt.ausg", "C:\\CMail\\Ausgang\\b.ausg");
  EXPECT_FALSE(missing);
  EXPECT_NE(missing.error.find("fehlt.ausg"), std::string::npos) << missing.error;
  EXPECT_FALSE(fs::exists(outbox_ / "b.ausg"));
}

TEST_F(FilesTest, MoveOnOneFileSystemOverwritesTargetOfOtherSpelling) {
  put(outbox_ / "x.ausg", "job");
  put(outbox_ / "x.result", "{\"status\": \"failure\"}");
  put(outbox_ / "failure" / "X.RESULT", "older result");
  ASSERT_TRUE(move_file("C:\\CMail\\Ausgang\\x.ausg", "C:\\CMail\\Ausgang\\Failure\\x.ausg"));
  ASSERT_TRUE(move_file("C:\\CMail\\Ausgang\\x.result", "C:\\CMail\\Ausgang\\Failure\\x.result"));
  EXPECT_FALSE(fs::exists(outbox_ / "x.ausg"));
  EXPECT_FALSE(fs::exists(outbox_ / "x.result"));
  EXPECT_EQ(names_in(outbox_ / "failure"), (std::set<std::string>{"x.ausg", "X.RESULT"}));
  EXPECT_EQ(get(outbox_ / "failure" / "X.RESULT"), "{\"status\": \"failure\"}");
}

TEST_F(FilesTest, FailedMoveKeepsSourceAndSaysWhy) {
  put(outbox_ / "x.ausg", "job");
  struct Case {
    const char* from;
    const char* to;
  } cases[] = {
      {"C:\\CMail\\Ausgang\\x.ausg", "C:\\CMail\\Ausgang\\quarantine\\x.ausg"},  // target folder missing
      {"C:\\CMail\\Ausgang\\y.ausg", "C:\\CMail\\Ausgang\\failure\\y.ausg"},     // source missing
      {"C:\\CMail\\Ausgang\\x.ausg", "C:\\CMail\\Ausgang\\failure"},             // target is a folder
      {"C:\\CMail\\Ausgang\\x.ausg", "T:\\x.ausg"},                               // unmapped drive
  };
  for (const Case& c : cases) {
    const Status s = move_file(c.from, c.to);
    EXPECT_FALSE(s) << c.to;
    EXPECT_FALSE(s.error.empty());
    if (std::string(c.to).starts_with("C:")) {
      EXPECT_NE(s.error.find("verschoben"), std::string::npos) << s.error;
      EXPECT_NE(s.error.find(c.from), std::string::npos) << s.error;
    }
    EXPECT_EQ(get(outbox_ / "x.ausg"), "job") << c.to;
  }
}

// A second file system for the drive D: (tmpfs under /dev/shm when /tmp is elsewhere).
class CrossFsTest : public FilesTest {
 protected:
  void SetUp() override {
    FilesTest::SetUp();
    struct stat a{}, b{};
    if (::stat(root_.c_str(), &a) != 0 || ::stat("/dev/shm", &b) != 0 || a.st_dev == b.st_dev) {
      GTEST_SKIP() << "no second file system beside " << root_;
    }
    other_ = make_temp_dir("/dev/shm");
    ASSERT_FALSE(other_.empty());
    set_drive('D', other_);
  }
  void TearDown() override {
    if (!other_.empty()) fs::remove_all(other_);
    FilesTest::TearDown();
  }
  fs::path other_;
};

TEST_F(CrossFsTest, MoveCopiesThenDeletesSource) {
  const std::string bytes(300000, '\x80');
  put(outbox_ / "x.ausg", bytes);
  put(other_ / "X.AUSG", "older");
  ASSERT_TRUE(move_file("C:\\CMail\\Ausgang\\x.ausg", "D:\\x.ausg"));
  EXPECT_FALSE(fs::exists(outbox_ / "x.ausg"));
  EXPECT_EQ(names_in(other_), std::set<std::string>{"X.AUSG"});
  EXPECT_EQ(get(other_ / "X.AUSG"), bytes);
}

TEST_F(CrossFsTest, FailedCopyNeverDeletesSource) {
  put(outbox_ / "x.ausg", "job");
  fs::create_directory(other_ / "x.ausg");  // the copy cannot take the place of a folder
  const Status s = move_file("C:\\CMail\\Ausgang\\x.ausg", "D:\\x.ausg");
  EXPECT_FALSE(s);
  EXPECT_NE(s.error.find("verschoben"), std::string::npos) << s.error;
  EXPECT_EQ(get(outbox_ / "x.ausg"), "job");
  EXPECT_EQ(names_in(other_), std::set<std::string>{"x.ausg"});  // no temporary left
}

TEST_F(FilesTest, DeleteRemovesFilesAndLinksButNeverFolders) {
  put(outbox_ / "x.ausg", "job");
  put(root_ / "outside.txt", "keep");
  fs::create_symlink(root_ / "outside.txt", outbox_ / "link.ausg");
  EXPECT_TRUE(delete_file("C:\\CMAIL\\AUSGANG\\X.AUSG"));
  EXPECT_TRUE(delete_file("C:\\CMail\\Ausgang\\link.ausg"));
  EXPECT_EQ(get(root_ / "outside.txt"), "keep");

  const Status folder = delete_file("C:\\CMail\\Ausgang\\Failure");
  EXPECT_FALSE(folder);
  EXPECT_NE(folder.error.find("Ordner"), std::string::npos) << folder.error;
  EXPECT_TRUE(fs::is_directory(outbox_ / "failure"));
  EXPECT_FALSE(delete_file("C:\\CMail\\Ausgang\\x.ausg"));  // already gone
  EXPECT_EQ(names_in(outbox_), std::set<std::string>{"failure"});
}

TEST_F(FilesTest, MakeDirReusesExistingSpellingAndCreatesParents) {
  ASSERT_TRUE(make_dir("C:\\cmail\\GESENDET\\004711\\Sterbefall"));
  EXPECT_TRUE(fs::is_directory(root_ / "CMail" / "GESENDET" / "004711" / "Sterbefall"));
  EXPECT_TRUE(make_dir("C:\\CMail\\gesendet\\004711"));  // exists already: fine
  EXPECT_EQ(names_in(root_ / "CMail"), (std::set<std::string>{"Ausgang", "GESENDET"}));
  put(root_ / "CMail" / "Datei", "x");
  EXPECT_FALSE(make_dir("C:\\CMail\\Datei\\Unter"));
}

}  // namespace
}  // namespace orvex::files

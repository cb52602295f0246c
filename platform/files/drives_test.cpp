#include "platform/files/drives.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace orvex::files {
namespace {

class DrivesTest : public ::testing::Test {
 protected:
  void TearDown() override {
    clear_drives();
    ::unsetenv("ORVEX_DRIVES");
  }
};

TEST_F(DrivesTest, MapsWindowsPathsThroughTheDriveMap) {
  add_drive_spec("C=/srv/orvex/c");
  add_drive_spec("t:=/srv/orvex/t");  // lower-case letter and the colon as operators write it
  struct Case {
    const char* winpath;
    const char* linux_path;
  } cases[] = {
      {"C:\\XARV\\CMail\\x.ausg", "/srv/orvex/c/XARV/CMail/x.ausg"},
      {"c:/XARV/CMail/", "/srv/orvex/c/XARV/CMail"},
      {"C:\\XARV\\\\MWSTDAT", "/srv/orvex/c/XARV/MWSTDAT"},
      {"T:\\XARV\\mwstdat.dbf", "/srv/orvex/t/XARV/mwstdat.dbf"},
      {"C:", "/srv/orvex/c"},
      {"best", "best"},
      {"CMail\\Ausgang\\x.ausg", "CMail/Ausgang/x.ausg"},
      {"", "."},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(map_path(c.winpath), std::filesystem::path(c.linux_path)) << c.winpath;
  }
}

TEST_F(DrivesTest, UnmappedDriveNamesLetterAndOption) {
  add_drive_spec("C=/srv/orvex/c");
  try {
    map_path("T:\\XARV\\mwstdat.dbf");
    FAIL() << "no PathError";
  } catch (const PathError& e) {
    const std::string what = e.what();
    EXPECT_NE(what.find("Laufwerk T:"), std::string::npos) << what;
    EXPECT_NE(what.find("--drive T="), std::string::npos) << what;
    EXPECT_NE(what.find("ORVEX_DRIVES"), std::string::npos) << what;
  }
}

TEST_F(DrivesTest, MalformedSpecsAreRefused) {
  for (const char* spec : {"", "C", "C=", "=/x", "1=/x", "CX=/x", "C:/x"}) {
    EXPECT_THROW(add_drive_spec(spec), PathError) << spec;
  }
}

TEST_F(DrivesTest, EnvironmentMapsSeveralDrivesAndClearForgetsThem) {
  ::setenv("ORVEX_DRIVES", "C=/a;;T=/b;", 1);
  load_drives_from_env();
  EXPECT_EQ(map_path("C:\\x"), std::filesystem::path("/a/x"));
  EXPECT_EQ(map_path("t:\\y"), std::filesystem::path("/b/y"));
  clear_drives();
  EXPECT_THROW(map_path("C:\\x"), PathError);
}

TEST_F(DrivesTest, LoadDrivesSetsEveryWellFormedEntryAndNamesTheFirstMalformed) {
  try {
    load_drives("T=/nowhere;bad;c=/srv/c;;X=");
    FAIL() << "no PathError";
  } catch (const PathError& e) {
    EXPECT_NE(std::string(e.what()).find("\"bad\""), std::string::npos) << e.what();
  }
  EXPECT_EQ(map_path("C:\\x"), std::filesystem::path("/srv/c/x"));
  EXPECT_EQ(map_path("t:\\y"), std::filesystem::path("/nowhere/y"));
  EXPECT_THROW(map_path("X:\\z"), PathError);
}

TEST_F(DrivesTest, UnmappedDriveAfterLoadNamesLetterAndVariable) {
  load_drives("C=/srv/c");
  try {
    map_path("Q:\\x.pdf");
    FAIL() << "no PathError";
  } catch (const PathError& e) {
    EXPECT_NE(std::string(e.what()).find("Q:"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("ORVEX_DRIVES"), std::string::npos) << e.what();
  }
}

TEST(FileName, TakesTheLastComponentOfEitherForm) {
  EXPECT_EQ(file_name("C:\\XARV\\Anh\xC3\xA4nge\\Rechnung 12.pdf"), "Rechnung 12.pdf");
  EXPECT_EQ(file_name("/srv/a/b.PDF"), "b.PDF");
  EXPECT_EQ(file_name("C:x.pdf"), "x.pdf");
  EXPECT_EQ(file_name("plain.txt"), "plain.txt");
}

}  // namespace
}  // namespace orvex::files

#include "local_path.h"

#include <gtest/gtest.h>

#include <fstream>

#include "testing/temp_dir.h"

namespace cmail {
namespace {

namespace fs = std::filesystem;

TEST(LocalPath, MapsDriveLettersAndFindsExistingNamesWithoutRegardToCase) {
  testing::TempDir root;
  fs::create_directories(root / "XARV/CMail/Ausgang");
  const std::string map = "T=/nowhere;c=" + root.path().string();

  EXPECT_EQ(local_path("C:\\xarv\\CMAIL\\ausgang\\12_a.result", map),
            root / "XARV/CMail/Ausgang/12_a.result");
  EXPECT_EQ(local_path("c:/XARV/cmail", map), root / "XARV/CMail");
  EXPECT_EQ(local_path("C:\\Neu\\Ordner\\x.pdf", map), root / "Neu/Ordner/x.pdf");
}

TEST(LocalPath, LeavesLinuxAndRelativePathsAlone) {
  EXPECT_EQ(local_path("/tmp/x.result", ""), fs::path("/tmp/x.result"));
  EXPECT_EQ(local_path("Fehlermail.result", ""), fs::path("Fehlermail.result"));
  EXPECT_EQ(local_path("sub\\y.result", ""), fs::path("sub/y.result"));
}

TEST(LocalPath, UnmappedDriveIsAnErrorNamingTheLetter) {
  try {
    local_path("Q:\\x.pdf", "C=/srv/c");
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("Q:"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("ORVEX_DRIVES"), std::string::npos) << e.what();
  }
}

TEST(FileNameOf, TakesTheLastComponentOfEitherForm) {
  EXPECT_EQ(file_name_of("C:\\XARV\\Anh\xC3\xA4nge\\Rechnung 12.pdf"), "Rechnung 12.pdf");
  EXPECT_EQ(file_name_of("/srv/a/b.PDF"), "b.PDF");
  EXPECT_EQ(file_name_of("C:x.pdf"), "x.pdf");
  EXPECT_EQ(file_name_of("plain.txt"), "plain.txt");
}

}  // namespace
}  // namespace cmail

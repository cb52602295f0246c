#include "tables/open_retry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files/drives.h"
#include "platform/table/dbf.h"
#include "platform/table/ntx.h"
#include "tables/retry_support.h"
#include "tables/test_support.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;
using testing_support::Declined;
using testing_support::FakeUi;
using testing_support::Peer;

class OpenRetryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "orvex-open-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    files::clear_drives();
    files::set_drive('C', root_ / "c");
    files::set_drive('D', root_ / "d");
    app_.cDatver = "D:\\DATEN\\";
    app_.ui = &ui_;
    set_program_end_hook([](int code) { throw Declined{code}; });
  }
  void TearDown() override {
    app_.areas.close_all();
    set_program_end_hook({});
    files::clear_drives();
    fs::remove_all(root_);
  }

  // A table with a NAME field and one record per name.
  fs::path make_table(const fs::path& rel, const std::vector<std::string>& names = {"eins"}) {
    fs::path file = root_ / rel;
    testing_support::make_name_table(file, names);
    return file;
  }

  fs::path opened() {
    EXPECT_NE(app_.areas.current(), nullptr);
    return app_.areas.current() ? app_.areas.current()->path() : fs::path{};
  }

  fs::path root_;
  App app_;
  FakeUi ui_;
};

TEST_F(OpenRetryTest, ResolvesTheTableName) {
  struct Case {
    std::string dat;
    fs::path expected;
  };
  const fs::path local = make_table("c/XARV/mwstdat.dbf");
  const fs::path under_root = make_table("d/DATEN/mwstdat.dbf");
  const fs::path in_folder = make_table("d/DATEN/CMail/t.dbf");
  const fs::path with_drive = make_table("c/x/y.dbf");
  const fs::path backslash = make_table("d/DATEN/x.dbf");
  const std::vector<Case> cases = {
      {"mwstdat", local},            // the parameter table is always the local one
      {"MwStDat", local},
      {"MWSTDAT", local},
      {"mwstdat.dbf", under_root},   // only the bare name means the parameter table
      {"C:\\x\\y", with_drive},
      {"CMail\\t", in_folder},
      {"CMail\\t.dbf", in_folder},
      {"\\x", backslash},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dat);
    EXPECT_EQ(DBaufmachen(app_, c.dat, std::nullopt, "S"), 0);
    EXPECT_TRUE(fs::equivalent(opened(), c.expected));
  }
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_EQ(ui_.waits, 0);
}

TEST_F(OpenRetryTest, OnlySchaltEOpensExclusively) {
  const fs::path file = make_table("d/DATEN/t.dbf");
  struct Case {
    std::string schalt;
    bool exclusive;
  };
  for (const Case& c : std::vector<Case>{{"S", false}, {"", false}, {"e", false}, {"E", true}}) {
    SCOPED_TRACE("schalt '" + c.schalt + "'");
    DBaufmachen(app_, "t", std::nullopt, c.schalt);
    Peer other;
    EXPECT_EQ(other.ask("open S " + file.string()), c.exclusive ? "busy" : "ok");
    app_.areas.close_area();
  }
}

TEST_F(OpenRetryTest, TableReleasedAfterTwoAndAHalfSecondsOpensOnTheFourthAttempt) {
  const fs::path file = make_table("d/DATEN/CMail/t.dbf");
  Peer other;
  ASSERT_EQ(other.ask("open E " + file.string()), "ok");
  ui_.really_wait = true;
  ASSERT_EQ(other.ask("close-after 2500"), "ok");

  EXPECT_EQ(DBaufmachen(app_, "CMail\\t", std::nullopt, "S"), 0);

  EXPECT_EQ(ui_.waits, 3);  // attempts at 0, 1, 2 s failed; the one at 3 s succeeded
  EXPECT_TRUE(ui_.boxes.empty());
  EXPECT_TRUE(fs::equivalent(opened(), file));
}

TEST_F(OpenRetryTest, TableHeldLongerAsksAndYesStartsAFreshSeriesOfFive) {
  const fs::path file = make_table("d/DATEN/CMail/t.dbf");
  Peer other;
  ASSERT_EQ(other.ask("open E " + file.string()), "ok");
  ui_.answer = [&](int box) {
    if (box == 2) {
      EXPECT_EQ(other.ask("close"), "ok");
    }
    return true;
  };

  EXPECT_EQ(DBaufmachen(app_, "CMail\\t", std::nullopt, "S"), 0);

  ASSERT_EQ(ui_.boxes.size(), 2u);
  EXPECT_EQ(ui_.boxes[0].first, "Datei D:\\DATEN\\CMail\\t kann nicht geöffnet werden!");
  EXPECT_EQ(ui_.boxes[0].second, "Nochmal versuchen=JA - Programmabbruch=NEIN");
  EXPECT_EQ(ui_.waits, 10);  // two series, each pause after a failed attempt included
  EXPECT_TRUE(fs::equivalent(opened(), file));
}

TEST_F(OpenRetryTest, NoEndsTheProgramAfterCommittingAndClosingAllTables) {
  const fs::path log = make_table("d/DATEN/log.dbf");
  const fs::path file = make_table("c/XARV/MWSTDAT.DBF");
  app_.areas.select(28);
  ASSERT_TRUE(app_.areas.use(log, table::OpenMode::Exclusive));
  app_.areas.current()->put("NAME", "geändert");
  app_.areas.select(9);
  Peer other;
  ASSERT_EQ(other.ask("open E " + file.string()), "ok");

  try {
    DBaufmachen(app_, "mwstdat", std::nullopt, "S");
    FAIL() << "the program went on after No";
  } catch (const Declined& d) {
    EXPECT_NE(d.code, 0);
  }

  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].first, "Datei C:\\XARV\\MWSTDAT kann nicht geöffnet werden!");
  EXPECT_EQ(app_.areas.area(28), nullptr);
  EXPECT_EQ(app_.areas.area(9), nullptr);
  auto reread = table::Dbf::open(log, table::OpenMode::Shared);
  EXPECT_EQ(reread->get("NAME"), "geändert  ");
}

TEST_F(OpenRetryTest, MissingTableIsLeftToTheErrorHandler) {
  EXPECT_THROW(DBaufmachen(app_, "fehlt", std::nullopt, "S"), table::TableError);
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(OpenRetryTest, IndexIsOpenedAfterTheTable) {
  const fs::path file = make_table("d/DATEN/best.dbf", {"100", "200", "300"});
  table::Ntx::write(root_ / "d/DATEN/xname.ntx", "NAME", 10, {{"100       ", 1}, {"200       ", 2}, {"300       ", 3}});
  fs::create_directories(root_ / "c");
  table::Ntx::write(root_ / "c/other.ntx", "NAME", 10, {{"300       ", 3}});

  for (const std::string ind : {"xname", "D:\\DATEN\\XNAME.NTX"}) {
    SCOPED_TRACE(ind);
    DBaufmachen(app_, "best", ind, "S");
    ASSERT_TRUE(app_.areas.seek("200"));
    EXPECT_EQ(app_.areas.current()->recno(), 2u);
  }
  // A second open replaces the index instead of adding to it.
  DBaufmachen(app_, "best", "C:\\other", "S");
  EXPECT_FALSE(app_.areas.seek("200"));
  EXPECT_TRUE(app_.areas.seek("300"));
}

TEST_F(OpenRetryTest, NetUseTriesUntilSuccessWhenWaitIsZero) {
  const fs::path file = make_table("d/DATEN/t.dbf");
  Peer other;
  ASSERT_EQ(other.ask("open E " + file.string()), "ok");
  ui_.on_wait = [&](int n) {
    if (n == 8) {
      EXPECT_EQ(other.ask("close"), "ok");
    }
  };

  EXPECT_TRUE(Net_use(app_, "D:\\DATEN\\t", false, 0));
  EXPECT_EQ(ui_.waits, 8);
}

TEST_F(OpenRetryTest, NetUseGivesUpAfterItsAttempts) {
  const fs::path file = make_table("d/DATEN/t.dbf");
  Peer other;
  ASSERT_EQ(other.ask("open S " + file.string()), "ok");

  EXPECT_FALSE(Net_use(app_, "D:\\DATEN\\t", true, 3));
  EXPECT_EQ(ui_.waits, 3);
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(OpenRetryTest, NetUseWithNegativeWaitMakesNoAttempt) {
  // A missing table would throw if an attempt were made.
  EXPECT_FALSE(Net_use(app_, "D:\\DATEN\\fehlt", false, -1));
  EXPECT_EQ(ui_.waits, 0);
}

}  // namespace
}  // namespace orvex

#include "tables/record_helpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/table/dbf.h"
#include "tables/retry_support.h"
#include "tables/test_support.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;
using testing_support::Declined;
using testing_support::FakeUi;
using testing_support::Peer;

class RecordHelpersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "orvex-rec-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    file_ = root_ / "LOG.DBF";
    testing_support::make_name_table(file_, {"eins", "zwei", "drei"});
    app_.ui = &ui_;
    ASSERT_TRUE(app_.areas.use(file_, table::OpenMode::Shared));
    ASSERT_EQ(other_.ask("open S " + file_.string()), "ok");
    set_program_end_hook([](int code) { throw Declined{code}; });
  }
  void TearDown() override {
    app_.areas.close_all();
    set_program_end_hook({});
    fs::remove_all(root_);
  }

  table::Dbf& dbf() { return *app_.areas.current(); }

  fs::path root_, file_;
  App app_;
  FakeUi ui_;
  Peer other_;
};

TEST_F(RecordHelpersTest, RecLockOnARecordHeldElsewhereGivesUpAfterItsTime) {
  ASSERT_EQ(other_.ask("lock 1"), "ok");
  dbf().go_to(1);
  struct Case {
    double wait;
    int pauses;  // attempts = pauses + 1
  };
  for (const Case& c : std::vector<Case>{{-1, 0}, {-0.5, 0}, {0.3, 1}, {1, 2}, {5, 10}}) {
    SCOPED_TRACE(c.wait);
    ui_.waits = 0;
    EXPECT_FALSE(REC_LOCK(app_, c.wait));
    EXPECT_EQ(ui_.waits, c.pauses);
  }
  EXPECT_TRUE(ui_.boxes.empty());
}

TEST_F(RecordHelpersTest, RecLockWithZeroTriesUntilGranted) {
  ASSERT_EQ(other_.ask("lock 2"), "ok");
  dbf().go_to(2);
  ui_.on_wait = [&](int n) {
    if (n == 14) {
      EXPECT_EQ(other_.ask("unlock"), "ok");
    }
  };
  EXPECT_TRUE(REC_LOCK(app_, 0));
  EXPECT_EQ(ui_.waits, 14);
  EXPECT_EQ(other_.ask("lock 2"), "busy");
}

TEST_F(RecordHelpersTest, RecLockReleasesTheOtherRecordLocks) {
  dbf().go_to(1);
  ASSERT_TRUE(REC_LOCK(app_, -1));
  dbf().go_to(2);
  ASSERT_TRUE(REC_LOCK(app_, -1));
  EXPECT_EQ(ui_.waits, 0);
  EXPECT_EQ(other_.ask("lock 1"), "ok");
  EXPECT_EQ(other_.ask("lock 2"), "busy");
}

TEST_F(RecordHelpersTest, SatzsperrenAsksUntilTheRecordIsLocked) {
  ASSERT_EQ(other_.ask("lock 3"), "ok");
  dbf().go_to(3);
  ui_.answer = [&](int box) {
    if (box == 2) {
      EXPECT_EQ(other_.ask("unlock"), "ok");
    }
    return true;
  };
  EXPECT_EQ(Satzsperren(app_), 0);
  ASSERT_EQ(ui_.boxes.size(), 2u);
  EXPECT_EQ(ui_.boxes[0].first, "Datensatz ist schon gesperrt");
  EXPECT_EQ(ui_.boxes[0].second, "Weitermachen?");
  EXPECT_EQ(ui_.waits, 20);  // two series of five seconds
  EXPECT_EQ(other_.ask("lock 3"), "busy");
}

TEST_F(RecordHelpersTest, SatzsperrenAnsweredNoEndsTheProgram) {
  ASSERT_EQ(other_.ask("lock 1"), "ok");
  dbf().go_to(1);
  EXPECT_THROW(Satzsperren(app_), Declined);
  EXPECT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(app_.areas.current(), nullptr);
}

TEST_F(RecordHelpersTest, AddRecAppendsABlankRecord) {
  dbf().go_to(1);
  EXPECT_TRUE(ADD_REC(app_, -1));
  EXPECT_EQ(dbf().record_count(), 4u);
  EXPECT_EQ(dbf().recno(), 4u);
  EXPECT_EQ(dbf().get("NAME"), std::string(10, ' '));
}

TEST_F(RecordHelpersTest, AddRecGivesUpWhileAnotherProcessAppends) {
  ASSERT_EQ(other_.ask("hold-append"), "ok");
  struct Case {
    double wait;
    int pauses;
  };
  for (const Case& c : std::vector<Case>{{-1, 0}, {1, 2}}) {
    SCOPED_TRACE(c.wait);
    ui_.waits = 0;
    EXPECT_FALSE(ADD_REC(app_, c.wait));
    EXPECT_EQ(ui_.waits, c.pauses);
  }
  EXPECT_EQ(dbf().record_count(), 3u);
}

TEST_F(RecordHelpersTest, SatzappendAsksWhileAnotherProcessAppends) {
  ASSERT_EQ(other_.ask("hold-append"), "ok");
  ui_.answer = [&](int) {
    EXPECT_EQ(other_.ask("unlock"), "ok");
    return true;
  };
  EXPECT_EQ(Satzappend(app_), 0);
  ASSERT_EQ(ui_.boxes.size(), 1u);
  EXPECT_EQ(ui_.boxes[0].first, "Datensatz ist schon gesperrt");
  EXPECT_EQ(ui_.boxes[0].second, "Weitermachen?");
  EXPECT_EQ(ui_.waits, 10);
  EXPECT_EQ(dbf().record_count(), 4u);
  EXPECT_EQ(dbf().recno(), 4u);
}

TEST_F(RecordHelpersTest, SatzentsperrenReleasesTheLocksOfSatzdeleteOnOtherRecords) {
  dbf().go_to(1);
  ASSERT_TRUE(REC_LOCK(app_, -1));
  dbf().go_to(2);
  EXPECT_EQ(Satzdelete(app_), 0);
  dbf().go_to(3);
  EXPECT_EQ(Satzdelete(app_), 0);
  EXPECT_TRUE(dbf().deleted());
  dbf().go_to(2);
  EXPECT_TRUE(dbf().deleted());
  for (const char* recno : {"1", "2", "3"}) EXPECT_EQ(other_.ask(std::string("lock ") + recno), "busy") << recno;

  EXPECT_TRUE(Satzentsperren(app_));

  for (const char* recno : {"1", "2", "3"}) EXPECT_EQ(other_.ask(std::string("lock ") + recno), "ok") << recno;
}

TEST_F(RecordHelpersTest, SatzrecallRemovesTheMarkAndKeepsALock) {
  dbf().go_to(2);
  Satzdelete(app_);
  Satzentsperren(app_);
  EXPECT_EQ(Satzrecall(app_), 0);
  EXPECT_FALSE(dbf().deleted());
  EXPECT_EQ(other_.ask("lock 2"), "busy");
}

TEST_F(RecordHelpersTest, SatzdeleteMarksTheRecordAlsoWhenTheLockIsRefused) {
  ASSERT_EQ(other_.ask("lock 2"), "ok");
  dbf().go_to(2);
  EXPECT_EQ(Satzdelete(app_), 0);
  EXPECT_TRUE(dbf().deleted());
  EXPECT_EQ(ui_.waits, 0);
}

TEST_F(RecordHelpersTest, AnEmptyWorkAreaIsAnError) {
  app_.areas.select(5);
  EXPECT_THROW(REC_LOCK(app_, -1), table::TableError);
  EXPECT_THROW(Satzentsperren(app_), table::TableError);
}

}  // namespace
}  // namespace orvex

#include "platform/table/workareas.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

namespace fs = std::filesystem;
using namespace orvex::table;

namespace {

class WorkAreasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/orvex-wa-XXXXXX";
    dir = mkdtemp(tmpl);
    // The order table of the business software: lower-case names on disk.
    Dbf::create(dir / "best.dbf", {{"AUFTRNR", 'C', 6, 0}, {"ANSP_KTOI", 'C', 40, 0}});
    auto t = Dbf::open(dir / "best.dbf", OpenMode::Exclusive);
    std::vector<std::pair<std::string, std::uint32_t>> keys;
    for (int n : {4711, 12, 815}) {
      t->append_blank();
      char key[8];
      std::snprintf(key, sizeof key, "%6d", n);
      t->put("AUFTRNR", key);
      t->put("ANSP_KTOI", "k" + std::to_string(n) + "@example.de");
      keys.emplace_back(key, t->recno());
    }
    Ntx::write(dir / "xauftrnr.ntx", "STR(AUFTRNR,6)", 6, keys);
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
  WorkAreas wa;
};

TEST_F(WorkAreasTest, UseByBareNameSetsUpperCaseAliasAndSeeks) {
  wa.select(28);
  ASSERT_TRUE(wa.use(dir / "BEST", OpenMode::Shared, {}, true));
  EXPECT_FALSE(wa.neterr());
  EXPECT_TRUE(wa.current()->read_only());
  EXPECT_EQ(wa.area_of("best"), 28);
  EXPECT_EQ(wa.by_alias("Best"), wa.current());
  EXPECT_EQ(wa.current()->path(), dir / "best.dbf");
  wa.set_index(dir / "XAUFTRNR");
  EXPECT_TRUE(wa.seek("   815"));
  EXPECT_EQ(wa.current()->get("ANSP_KTOI").substr(0, 15), "k815@example.de");
  EXPECT_FALSE(wa.seek("  9999"));
  EXPECT_TRUE(wa.current()->eof());
  EXPECT_EQ(wa.current()->recno(), 4u);
  wa.clear_indexes();
  EXPECT_THROW(wa.seek("  4711"), TableError);
}

TEST_F(WorkAreasTest, ConflictSetsNeterrAndSuccessClearsIt) {
  wa.select(1);
  ASSERT_TRUE(wa.use(dir / "best", OpenMode::Exclusive));
  wa.select(2);
  EXPECT_FALSE(wa.use(dir / "best", OpenMode::Shared, "other"));
  EXPECT_TRUE(wa.neterr());
  EXPECT_EQ(wa.current(), nullptr);
  wa.select(1);
  wa.close_area();
  wa.select(2);
  EXPECT_TRUE(wa.use(dir / "best", OpenMode::Shared, "other"));
  EXPECT_FALSE(wa.neterr());
  EXPECT_EQ(wa.area_of("OTHER"), 2);
}

TEST_F(WorkAreasTest, TwoViewsOfOneTableNeedTwoAliases) {
  wa.select(28);
  ASSERT_TRUE(wa.use(dir / "best", OpenMode::Shared));
  wa.select(wa.free_area());
  EXPECT_EQ(wa.selected(), 1);
  EXPECT_THROW(wa.use(dir / "best", OpenMode::Shared), TableError);
  ASSERT_TRUE(wa.use(dir / "best", OpenMode::Shared, "LOG"));
  EXPECT_EQ(wa.free_area(), 2);
  EXPECT_NE(wa.by_alias("log"), wa.by_alias("BEST"));
}

TEST_F(WorkAreasTest, InAliasRestoresSelectionEvenOnError) {
  wa.select(28);
  ASSERT_TRUE(wa.use(dir / "best", OpenMode::Shared));
  wa.select(3);
  int inside = 0;
  wa.in_alias("BEST", [&] { inside = wa.selected(); });
  EXPECT_EQ(inside, 28);
  EXPECT_EQ(wa.selected(), 3);
  EXPECT_THROW(wa.in_alias("best", [] { throw std::runtime_error("boom"); }), std::runtime_error);
  EXPECT_EQ(wa.selected(), 3);
  EXPECT_THROW(wa.in_alias("NONE", [] {}), TableError);
}

TEST_F(WorkAreasTest, MissingTableThrowsAndLeavesAreaEmpty) {
  wa.select(9);
  try {
    wa.use(dir / "MWSTDAT", OpenMode::Shared);
    FAIL();
  } catch (const TableError& e) {
    EXPECT_NE(std::string(e.what()).find("MWSTDAT.DBF nicht gefunden"), std::string::npos) << e.what();
  }
  EXPECT_EQ(wa.current(), nullptr);
  ASSERT_TRUE(wa.use(dir / "best", OpenMode::Shared));
  EXPECT_THROW(wa.set_index(dir / "fehlt"), TableError);
}

TEST_F(WorkAreasTest, CommitAllAndCloseAllReleaseTheTables) {
  wa.select(1);
  ASSERT_TRUE(wa.use(dir / "best", OpenMode::Shared));
  ASSERT_TRUE(wa.current()->append_blank());
  wa.current()->put("AUFTRNR", "     1");
  wa.commit_all();
  EXPECT_EQ(Dbf::open(dir / "best", OpenMode::Shared, true)->record_count(), 4u);
  wa.close_all();
  EXPECT_EQ(wa.current(), nullptr);
  EXPECT_EQ(wa.area_of("BEST"), 0);
  EXPECT_NE(Dbf::open(dir / "best", OpenMode::Exclusive), nullptr);
}

}  // namespace

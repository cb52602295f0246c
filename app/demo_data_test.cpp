#include "app/demo_data.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/table/dbf.h"
#include "platform/table/ntx.h"

namespace orvex::demo {
namespace {

namespace fs = std::filesystem;

struct TempDir {
  fs::path path;
  TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "orvex-demo-XXXXXX").string();
    path = mkdtemp(tmpl.data());
  }
  ~TempDir() { fs::remove_all(path); }
};

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Other dBase tools must read what we write: dbfread is the outside reader.
std::string dbfread(const fs::path& file) {
  std::string out_file = file.string() + ".txt";
  std::string cmd = std::string(ORVEX_PYTHON) +
                    " -c \"import sys,dbfread\n"
                    "for r in dbfread.DBF(sys.argv[1], encoding='cp850'): print('|'.join(str(v) for v in r.values()))\" '" +
                    file.string() + "' > '" + out_file + "'";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  return slurp(out_file);
}

TEST(DemoData, OrderTableIsSeekableByRightAlignedOrderNumber) {
  TempDir dir;
  auto l = layout_for(dir.path);
  make_demo(l, Server{});
  auto best = table::Dbf::open(l.work / "best.dbf", table::OpenMode::Shared);
  ASSERT_TRUE(best);
  auto index = table::Ntx::open(l.work / "xauftrnr.ntx");
  EXPECT_EQ(index->key_expression(), "STR(AUFTRNR,6)");
  auto rec = index->seek("  4712");
  ASSERT_TRUE(rec);
  best->go_to(*rec);
  EXPECT_EQ(best->get("ANSP_KTOI").substr(0, 24), "bernd.keller@example.org");
  rec = index->seek("  4713");
  ASSERT_TRUE(rec);
  best->go_to(*rec);
  EXPECT_NE(best->get("NOTIZ").find("E-Mail: Carla.Huber@example.org"), std::string::npos);
  EXPECT_FALSE(index->seek("  9999"));
}

TEST(DemoData, RootHasEverythingTheDispatcherNeeds) {
  TempDir dir;
  auto l = layout_for(dir.path);
  Server s;
  s.port = 40123;
  std::string rejected = make_demo(l, s);
  const fs::path cmail = l.c_drive / "XARV" / "CMail";
  EXPECT_TRUE(fs::is_directory(cmail / "Ausgang" / "failure"));
  EXPECT_TRUE(fs::is_directory(cmail / "Ausgang" / "quarantine"));
  EXPECT_TRUE(fs::exists(l.t_drive / "XARV" / "mwstdat.dbf"));
  EXPECT_EQ(slurp(cmail / "Verbindung.dat"),
            "127.0.0.1\r\ndemo\r\ngeheim\r\n40123\r\nversand@orvex-mail.de\r\nbuero@orvex-mail.de\r\n");
  std::string whitelist = slurp(cmail / "WhiteList.mad");
  EXPECT_NE(whitelist.find(rejected + ",\r\n"), std::string::npos);
  EXPECT_EQ(whitelist.find("fremd@example.com"), std::string::npos);
  EXPECT_EQ(slurp(l.c_drive / "XARV" / "Formulare" / "Sterbefall.pdf").substr(0, 8), "%PDF-1.4");
  int jobs = 0;
  for (auto& e : fs::directory_iterator(cmail / "Ausgang")) jobs += e.path().extension() == ".ausg";
  EXPECT_EQ(jobs, 7);
  // Job texts are Windows-1252: "Grüßen" as single bytes.
  EXPECT_NE(slurp(cmail / "Ausgang" / "Sterbefall_2024-05-17_004711_1.ausg").find("Gr\xfc\xdf" "en"),
            std::string::npos);
  EXPECT_EQ(dbfread(l.c_drive / "XARV" / "MWSTDAT.DBF"), "C:\\XARV\\|LPT1\n");
}

TEST(DemoData, BulkJobsAreAllWhitelistedWithDistinctNames) {
  TempDir dir;
  auto l = layout_for(dir.path);
  make_bulk(l, Server{}, 25, false);
  const fs::path cmail = l.c_drive / "XARV" / "CMail";
  std::string whitelist = slurp(cmail / "WhiteList.mad");
  int jobs = 0;
  for (auto& e : fs::directory_iterator(cmail / "Ausgang")) {
    if (e.path().extension() != ".ausg") continue;
    ++jobs;
    std::string text = slurp(e.path());
    std::string to = text.substr(0, text.find("|||"));
    EXPECT_NE(whitelist.find(to + ","), std::string::npos) << to;
    EXPECT_EQ(text.find("Formulare"), std::string::npos);
  }
  EXPECT_EQ(jobs, 25);
  EXPECT_TRUE(fs::exists(cmail / "Ausgang" / "Sterbefall_2024-05-17_000025_1.ausg"));
}

TEST(DemoData, ParameterTableWithoutDatver) {
  TempDir dir;
  write_parameter_table(dir.path / "MWSTDAT.DBF", "", "LPT2  ", false);
  auto t = table::Dbf::open(dir.path / "MWSTDAT.DBF", table::OpenMode::Shared);
  ASSERT_TRUE(t);
  EXPECT_FALSE(t->has_field("DATVER"));
  t->go_top();
  EXPECT_EQ(t->get("F10").substr(0, 4), "LPT2");
}

}  // namespace
}  // namespace orvex::demo

#include "app/startup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/demo_data.h"
#include "platform/files/drives.h"
#include "platform/table/dbf.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;

class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "orvex-startup-XXXXXX").string();
    root_ = mkdtemp(tmpl.data());
    layout_ = demo::layout_for(root_);
    demo::make_root(layout_, demo::Server{}, {}, {});
    files::clear_drives();
    files::set_drive('C', layout_.c_drive);
    files::set_drive('T', layout_.t_drive);
  }
  void TearDown() override {
    files::clear_drives();
    fs::remove_all(root_);
  }
  fs::path parameter_table() const { return layout_.c_drive / "XARV" / "MWSTDAT.DBF"; }
  fs::path log_table() const { return layout_.c_drive / "XARV" / "CMail" / "LOG_BREVOR.DBF"; }

  fs::path root_;
  demo::Layout layout_;
};

TEST_F(Startup, DataRootAndPrinterPortFromTheParameterTable) {
  struct Case {
    std::string datver;
    bool with_datver;
    std::string f10;
    std::string cDatver, cLPT;
  } cases[] = {
      {"T:\\XARV\\   ", true, "LPT2    ", "T:\\XARV\\", "LPT2"},
      {"", false, "LPT3", "C:\\XARV\\", "LPT3"},  // no field datver: the data root stays
      {"C:\\DATEN\\", true, "lpt2", "C:\\DATEN\\", "LPT1"},
      {"C:\\DATEN\\", true, "PRN", "C:\\DATEN\\", "LPT1"},
      {"C:\\DATEN\\", true, "", "C:\\DATEN\\", "LPT1"},
  };
  for (const auto& c : cases) {
    demo::write_parameter_table(parameter_table(), c.datver, c.f10, c.with_datver);
    App app;
    read_parameters(app);
    EXPECT_EQ(app.cDatver, c.cDatver) << c.datver;
    EXPECT_EQ(app.cLPT, c.cLPT) << c.f10;
    EXPECT_EQ(app.areas.selected(), kParameterArea);
    EXPECT_NE(app.areas.current(), nullptr);
    app.areas.close_all();
  }
}

TEST_F(Startup, ServerTestLooksOnlyAtTheServerRootAndClosesTheParameterTable) {
  // The data root on T does not matter: the test is always T:\XARV\mwstdat.dbf.
  demo::write_parameter_table(parameter_table(), "T:\\ANDERS\\", "LPT1");
  App app;
  read_parameters(app);
  EXPECT_TRUE(server_test(app));
  EXPECT_EQ(app.areas.area(kParameterArea), nullptr);

  fs::remove(layout_.t_drive / "XARV" / "mwstdat.dbf");
  App app2;
  read_parameters(app2);
  EXPECT_FALSE(server_test(app2));
  EXPECT_EQ(app2.areas.area(kParameterArea), nullptr);
  EXPECT_EQ(no_server_text(app2), "Keine Verbindung zum ZentralServer!\r\nVersuchen Sie es später nochmal!");
}

TEST_F(Startup, LogTableIsCreatedOnceWithItsSixFieldsAndReadableOutside) {
  App app;
  ASSERT_FALSE(fs::exists(log_table()));
  EXPECT_TRUE(log_table_free(app));  // nothing to test on the first start
  open_log_table(app);
  ASSERT_TRUE(fs::exists(log_table()));
  EXPECT_EQ(app.areas.area_of(kLogAlias), kLogArea);
  EXPECT_EQ(app.areas.selected(), kLogArea);
  close_tables(app);
  EXPECT_EQ(app.areas.selected(), 1);

  const std::string out = (root_ / "fields.txt").string();
  const std::string cmd = std::string(ORVEX_PYTHON) +
                          " -c \"import sys,dbfread\nt=dbfread.DBF(sys.argv[1])\n"
                          "print(' '.join(f'{f.name}:{f.type}{f.length}' for f in t.fields), len(t))\" '" +
                          log_table().string() + "' > '" + out + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  std::ifstream in(out);
  std::stringstream s;
  s << in.rdbuf();
  EXPECT_EQ(s.str(), "AUFTRNR:C6 ART:C1 DATUM:C10 ZEIT:C8 FORMULAR:C50 ADRESSE:C50 0\n");

  // A second start finds the table and keeps its contents.
  App again;
  EXPECT_TRUE(log_table_free(again));
  open_log_table(again);
  EXPECT_EQ(again.areas.by_alias(kLogAlias)->record_count(), 0u);
  close_tables(again);
}

TEST_F(Startup, SecondCopyIsKeptOutWhileTheFirstHoldsTheLogTable) {
  App first;
  open_log_table(first);
  App second;
  EXPECT_FALSE(log_table_free(second));
  EXPECT_EQ(already_running_text(second), "Brevor ist bereits geöffnet!\r\nBitte ggf. zuerst schließen!");
  close_tables(first);
  EXPECT_TRUE(log_table_free(second));
}

TEST_F(Startup, UnmappedDriveIsAClearError) {
  files::clear_drives();
  App app;
  try {
    read_parameters(app);
    FAIL() << "no error for an unmapped drive C";
  } catch (const files::PathError& e) {
    EXPECT_NE(std::string(e.what()).find("C"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace orvex

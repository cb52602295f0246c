#include "dispatch/mail_log.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>

#include <filesystem>
#include <regex>

namespace orvex::dispatch {
namespace {

namespace fs = std::filesystem;

class MailLog : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/orvex-log-XXXXXX";
    dir_ = mkdtemp(tmpl);
    file_ = dir_ / "LOG_BREVOR.DBF";
    table::Dbf::create(file_, log_fields());
    areas_.select(28);
    ASSERT_TRUE(areas_.use(file_, table::OpenMode::Shared));
    areas_.select(1);
  }
  void TearDown() override {
    areas_.close_all();
    fs::remove_all(dir_);
  }
  // The table as another dBase tool reads it: one line per record, fields separated by "|".
  std::string read_with_dbfread() {
    const std::string cmd = "PYTHONIOENCODING=utf-8 " + std::string(ORVEX_PYTHON) +
                            " -c \"import sys, dbfread\n"
                            "t = dbfread.DBF(sys.argv[1])\n"
                            "print(','.join(f.name + ':' + f.type + str(f.length) for f in t.fields))\n"
                            "for r in t: print('|'.join(r.values()))\" " +
                            file_.string();
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    EXPECT_EQ(pclose(p), 0);
    return out;
  }
  fs::path dir_, file_;
  table::WorkAreas areas_;
};

TEST_F(MailLog, OtherToolsReadTheRecords) {
  std::string why;
  ASSERT_TRUE(append_log(areas_, {"004711", "M", "\xC3\x9C" "berf\xC3\xBChrung_2024-05-17_004711",
                                   "kunde@firma.de"}, &why)) << why;
  // An address straight from a job file is Windows-1252.
  ASSERT_TRUE(append_log(areas_, {"chnung", "Q", "Rechnung_004711.ausg", "m\xFC@x.de"}, &why)) << why;
  ASSERT_TRUE(append_log(areas_, {"1234567", "F", std::string(60, 'f'), std::string(60, 'a')}, &why));
  EXPECT_EQ(areas_.selected(), 1) << "the caller's work area stays selected";

  const std::string out = read_with_dbfread();
  const std::string stamp = R"(\d\d\.\d\d\.\d\d\|\d\d:\d\d:\d\d)";
  const std::regex want(
      "AUFTRNR:C6,ART:C1,DATUM:C10,ZEIT:C8,FORMULAR:C50,ADRESSE:C50\n"
      "004711\\|M\\|" + stamp + "\\|\xC3\x9C" "berf\xC3\xBChrung_2024-05-17_004711\\|kunde@firma.de\n"
      "chnung\\|Q\\|" + stamp + "\\|Rechnung_004711.ausg\\|m\xC3\xBC@x.de\n"
      "123456\\|F\\|" + stamp + "\\|" + std::string(50, 'f') + "\\|" + std::string(50, 'a') + "\n");
  EXPECT_TRUE(std::regex_match(out, want)) << out;
}

TEST_F(MailLog, RefusedWhenTheTableIsNotOpen) {
  areas_.close_all();
  std::string why;
  EXPECT_FALSE(append_log(areas_, {"004711", "M", "F_1", "a@b.de"}, &why));
  EXPECT_NE(why.find("LOG_BREVOR"), std::string::npos) << why;
}

}  // namespace
}  // namespace orvex::dispatch

#include "platform/table/delimited.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "platform/table/dbf.h"

namespace fs = std::filesystem;
using namespace orvex::table;
using Records = std::vector<std::vector<std::string>>;

namespace {

struct Case {
  const char* name;
  std::string text;
  Records expected;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

class Delimited : public ::testing::TestWithParam<Case> {};

TEST_P(Delimited, Reads) {
  char tmpl[] = "/tmp/orvex-csv-XXXXXX";
  fs::path dir = mkdtemp(tmpl);
  fs::path file = dir / "NeueWMails.csv";
  std::ofstream(file, std::ios::binary) << GetParam().text;
  EXPECT_EQ(read_delimited(file), GetParam().expected);
  fs::remove_all(dir);
}

INSTANTIATE_TEST_SUITE_P(
    Files, Delimited,
    ::testing::Values(
        Case{"crlf", "Nr,Name\r\n1,Meier\r\n", {{"Nr", "Name"}, {"1", "Meier"}}},
        Case{"lf_no_final_newline", "a,b\nc,d", {{"a", "b"}, {"c", "d"}}},
        Case{"quoted_commas_and_quotes", "\"Meier, Hans\",\"sagt \"\"hallo\"\"\",x\r\n",
             {{"Meier, Hans", "sagt \"hallo\"", "x"}}},
        Case{"short_lines", "a,b,c,d,e@x.de\r\nnur\r\n,\r\n", {{"a", "b", "c", "d", "e@x.de"}, {"nur"}, {"", ""}}},
        Case{"empty_line_kept_as_empty_record", "a\r\n\r\nb\r\n", {{"a"}, {}, {"b"}}},
        Case{"empty_fields", "1,,3,\n", {{"1", "", "3", ""}}},
        Case{"unterminated_quote_ends_at_line", "\"offen,x\ny\n", {{"offen,x"}, {"y"}}},
        Case{"bytes_kept_and_ctrl_z_dropped", "M\xfcller,\xe4\r\n\x1a", {{"M\xfcller", "\xe4"}}},
        Case{"empty_file", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DelimitedFile, MissingFileThrows) {
  EXPECT_THROW(read_delimited("/nonexistent/NeueWMails.csv"), TableError);
}

}  // namespace

#include "platform/text/lines.h"

#include <gtest/gtest.h>

namespace orvex::text {
namespace {

using Lines = std::vector<std::string>;

TEST(LinesTest, CompleteLineEnds) {
  struct Case {
    std::string in;
    std::string out;
  } cases[] = {
      {"", ""},
      {"\n", "\n"},                   // an LF in the very first position stays bare
      {"\nA\nB", "\nA\r\nB"},
      {"a\r\nb\r\n", "a\r\nb\r\n"},   // already complete
      {"a\rb", "a\rb"},               // a lone CR is copied
      {"a\n\nb", "a\r\n\r\nb"},
      {"a\r\r\n", "a\r\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(complete_line_ends(c.in), c.out) << c.in;
}

TEST(LinesTest, MemoLinesSplitsAndTrims) {
  struct Case {
    std::string text;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"a\r\nb\r\n", {"a", "b"}},        // a final line break starts no line
      {"a\r\nb", {"a", "b"}},
      {"a\nb\n", {"a", "b"}},
      {"\r\n", {""}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"host  \r\n  user \r\n", {"host", "  user"}},
      {"a\tb\t", {"a\tb\t"}},             // only blanks are trimmed
  };
  for (const Case& c : cases) EXPECT_EQ(memo_lines(c.text), c.lines) << c.text;
}

TEST(LinesTest, MemoLinesWrapsLongLines) {
  const std::string x79(79, 'x'), x80(80, 'x'), z85(85, 'z');
  struct Case {
    std::string text;
    Lines lines;
  } cases[] = {
      {x79 + " yyyyy", {x79, "yyyyy"}},                  // 85 characters: wraps at the blank
      {z85, {std::string(80, 'z'), "zzzzz"}},            // no blank: hard cut
      {x80 + " abc", {x80, "abc"}},                      // blank right after the width
      {x80 + "    \r\nb", {x80, "b"}},                   // trailing blanks do not wrap
      {"ab cd " + x79 + "\r\n", {"ab cd", x79}},
  };
  for (const Case& c : cases) EXPECT_EQ(memo_lines(c.text), c.lines) << c.text;

  EXPECT_EQ(memo_lines("aaa bbb ccc", 5), (Lines{"aaa", "bbb", "ccc"}));
}

TEST(LinesTest, MemoWidthCountsCharactersNotUtf8Bytes) {
  std::string umlauts, cp1252;
  for (int i = 0; i < 85; ++i) umlauts += "ä";
  const std::string a80 = umlauts.substr(0, 160), a5 = umlauts.substr(160);
  EXPECT_EQ(memo_lines(umlauts), (Lines{a80, a5}));
  // Not UTF-8: one byte is one character.
  EXPECT_EQ(memo_lines(std::string(85, '\xE4')), (Lines{std::string(80, '\xE4'), std::string(5, '\xE4')}));
}

TEST(LinesTest, CaseAndBlanks) {
  EXPECT_EQ(to_lower_ascii("Max.MUSTER@Example.DE"), "max.muster@example.de");
  EXPECT_EQ(to_lower_ascii("\xC4Ä"), "\xC4Ä");  // CP1252 and UTF-8 bytes stay intact
  struct Case {
    std::string in, both, right;
  } cases[] = {
      {"", "", ""},
      {"   ", "", ""},
      {"  a b  ", "a b", "  a b"},
      {"\ta\t ", "\ta\t", "\ta\t"},
      {"\r\nx ", "\r\nx", "\r\nx"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(trim(c.in), c.both) << c.in;
    EXPECT_EQ(trim_right(c.in), c.right) << c.in;
  }
}

}  // namespace
}  // namespace orvex::text

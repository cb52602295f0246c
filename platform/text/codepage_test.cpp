#include "platform/text/codepage.h"

#include <gtest/gtest.h>

namespace orvex::text {
namespace {

const std::string kReplacement = "\xEF\xBF\xBD";

TEST(CodePageTest, Cp1252UmlautsAndEuroRoundTrip) {
  const std::string utf8 = "Grüße äöü ÄÖÜ ß 5 € – „x“";
  const std::string cp1252 = "Gr\xFC\xDF" "e \xE4\xF6\xFC \xC4\xD6\xDC \xDF 5 \x80 \x96 \x84x\x93";
  EXPECT_EQ(utf8_to_cp1252(utf8), cp1252);
  EXPECT_EQ(cp1252_to_utf8(cp1252), utf8);
}

TEST(CodePageTest, Cp1252UndefinedBytesBecomeVisibleReplacement) {
  for (char b : {'\x81', '\x8D', '\x8F', '\x90', '\x9D'}) {
    EXPECT_EQ(cp1252_to_utf8(std::string("a") + b + "z"), "a" + kReplacement + "z") << int(b);
  }
  // Every other byte comes back unchanged through UTF-8.
  for (int b = 0; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const std::string decoded = cp1252_to_utf8(one);
    if (decoded != kReplacement) {
      EXPECT_EQ(utf8_to_cp1252(decoded), one) << b;
    }
  }
}

TEST(CodePageTest, Cp850RoundTripsEveryByte) {
  EXPECT_EQ(utf8_to_cp850("äöüß ÄÖÜ"), "\x84\x94\x81\xE1 \x8E\x99\x9A");
  EXPECT_EQ(cp850_to_utf8("\x84\x94\x81\xE1 \x8E\x99\x9A"), "äöüß ÄÖÜ");
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(utf8_to_cp850(cp850_to_utf8(all)), all);
}

TEST(CodePageTest, Cp850TextsOfTableFieldsBothWays) {
  struct Case {
    std::string utf8;
    std::string cp850;
  } cases[] = {
      {"Müller", "M\x81ller"},
      {"ÄÖÜäöüß", "\x8e\x99\x9a\x84\x94\x81\xe1"},
      {"plain ASCII 123", "plain ASCII 123"},
      {"│┼", "\xb3\xc5"},  // box drawing, which 1252 lacks
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf8_to_cp850(c.utf8), c.cp850) << c.utf8;
    EXPECT_EQ(cp850_to_utf8(c.cp850), c.utf8) << c.utf8;
  }
}

TEST(CodePageTest, BrokenUtf8BecomesVisibleInCp850) {
  EXPECT_EQ(utf8_to_cp850("a€b"), "a?b");
  EXPECT_EQ(utf8_to_cp850("a\xc3"), "a?");       // cut sequence
  EXPECT_EQ(utf8_to_cp850("\xff" "x"), "?x");    // not UTF-8 at all
  EXPECT_EQ(utf8_to_cp850("\xc3\x28"), "?(");    // bad continuation
}

TEST(CodePageTest, UnrepresentableCharactersBecomeQuestionMarks) {
  struct Case {
    std::string utf8;
    std::string cp1252;
    std::string cp850;
  } cases[] = {
      {"5 €", "5 \x80", "5 ?"},              // 850 has no euro sign
      {"Ω-Welle", "?-Welle", "?-Welle"},      // Greek capital omega: in neither
      {"a😀b", "a?b", "a?b"},                 // beyond the BMP: one '?' per character
      {"x\xFFy", "x?y", "x?y"},              // a stray byte that is not UTF-8
      {"end\xC3", "end?", "end?"},            // cut-off sequence at the end
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf8_to_cp1252(c.utf8), c.cp1252) << c.utf8;
    EXPECT_EQ(utf8_to_cp850(c.utf8), c.cp850) << c.utf8;
  }
}

TEST(CodePageTest, LooksLikeUtf8) {
  struct Case {
    std::string bytes;
    bool utf8;
  } cases[] = {
      {"", false},
      {"plain ascii", false},
      {"Grüße", true},
      {"Gr\xFC\xDF" "e", false},         // the same in CP1252
      {"\xC0\xAF", false},               // overlong '/'
      {"\xED\xA0\x80", false},           // a surrogate
      {"ok \xC3", false},                // cut off
      {"\xF4\x90\x80\x80", false},       // beyond U+10FFFF
      {"€ and 😀", true},
  };
  for (const Case& c : cases) EXPECT_EQ(looks_like_utf8(c.bytes), c.utf8) << c.bytes;
}

}  // namespace
}  // namespace orvex::text

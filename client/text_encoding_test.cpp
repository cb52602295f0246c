#include "text_encoding.h"

#include <gtest/gtest.h>

namespace cmail {
namespace {

struct Case {
  const char* name;
  std::string in;
  std::string out;
};

TEST(ArgumentToUtf8, DecodesWindows1252UnlessTheBytesAreUtf8) {
  const Case cases[] = {
      {"ascii unchanged", "Formular 123", "Formular 123"},
      {"1252 umlaut", "Formular f\xFCr Sterbefall", "Formular f\xC3\xBCr Sterbefall"},
      {"1252 euro and quotes", "\x80 \x84x\x93", "\xE2\x82\xAC \xE2\x80\x9Ex\xE2\x80\x9C"},
      {"1252 sharp s, capital umlauts", "\xDF\xC4\xD6\xDC", "\xC3\x9F\xC3\x84\xC3\x96\xC3\x9C"},
      {"utf-8 kept", "f\xC3\xBCr \xE2\x82\xAC", "f\xC3\xBCr \xE2\x82\xAC"},
      {"mixed is 1252", "f\xC3\xBCr \xFC", "f\xC3\x83\xC2\xBCr \xC3\xBC"},
      {"undefined 1252 byte visible", "a\x81" "b", "a\xEF\xBF\xBD" "b"},
      {"line breaks kept", "a\r\n\xFC\n", "a\r\n\xC3\xBC\n"},
      {"empty", "", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(argument_to_utf8(c.in), c.out) << c.name;
}

TEST(IsValidUtf8, RejectsMalformedSequences) {
  const std::pair<std::string, bool> cases[] = {
      {"plain", true},
      {"\xF0\x9F\x98\x80", true},
      {"\xC0\xAF", false},          // overlong "/"
      {"\xED\xA0\x80", false},      // surrogate
      {"\xE2\x82", false},          // cut short
      {"\xE2\x82x", false},         // bad continuation
      {"\xF4\x90\x80\x80", false},  // beyond U+10FFFF
      {"\xFC", false},
  };
  for (const auto& [bytes, valid] : cases) EXPECT_EQ(is_valid_utf8(bytes), valid) << bytes;
}

}  // namespace
}  // namespace cmail

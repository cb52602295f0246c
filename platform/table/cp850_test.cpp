#include "platform/table/cp850.h"

#include <gtest/gtest.h>

using namespace orvex::table;

namespace {

struct Case {
  std::string utf8;
  std::string cp850;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.utf8; }

class Cp850 : public ::testing::TestWithParam<Case> {};

TEST_P(Cp850, EncodesAndDecodes) {
  EXPECT_EQ(cp850_encode(GetParam().utf8), GetParam().cp850);
  EXPECT_EQ(cp850_decode(GetParam().cp850), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(Texts, Cp850,
                         ::testing::Values(Case{"Müller", "M\x81ller"}, Case{"ÄÖÜäöüß", "\x8e\x99\x9a\x84\x94\x81\xe1"},
                                           Case{"plain ASCII 123", "plain ASCII 123"}, Case{"│┼", "\xb3\xc5"},
                                           Case{"", ""}),
                         [](const auto& info) { return "text" + std::to_string(info.index); });

TEST(Cp850Encode, UnrepresentableAndBrokenInputBecomeVisible) {
  EXPECT_EQ(cp850_encode("a€b"), "a?b");
  EXPECT_EQ(cp850_encode("a\xc3"), "a?");         // cut sequence
  EXPECT_EQ(cp850_encode("\xff" "x"), "?x");      // not UTF-8 at all
  EXPECT_EQ(cp850_encode("\xc3\x28"), "?(");      // bad continuation
}

}  // namespace

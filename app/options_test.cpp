#include "app/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orvex {
namespace {

ParsedOptions parse(std::vector<std::string> args) {
  args.insert(args.begin(), "orvex-mail");
  std::vector<const char*> argv;
  for (auto& a : args) argv.push_back(a.c_str());
  return parse_options(static_cast<int>(argv.size()), argv.data());
}

TEST(Options, DefaultsWithoutArguments) {
  auto r = parse({});
  ASSERT_TRUE(r.options);
  EXPECT_EQ(r.options->cTimerMin, "2");
  EXPECT_EQ(r.options->pace, 1.0);
  EXPECT_FALSE(r.options->headless);
  EXPECT_FALSE(r.options->once);
  EXPECT_TRUE(r.options->drives.empty());
}

TEST(Options, AllOptionsTogether) {
  auto r = parse({"--drive", "C=/srv/c", "--drive", "T=/srv/t", "--pace", "0", "--headless", "--once", "0.5"});
  ASSERT_TRUE(r.options) << r.message;
  EXPECT_EQ(r.options->cTimerMin, "0.5");
  EXPECT_EQ(r.options->drives, (std::vector<std::string>{"C=/srv/c", "T=/srv/t"}));
  EXPECT_EQ(r.options->pace, 0.0);
  EXPECT_TRUE(r.options->headless);
  EXPECT_TRUE(r.options->once);
}

TEST(Options, IntervalIsKeptAsText) {
  auto r = parse({"5"});
  ASSERT_TRUE(r.options);
  EXPECT_EQ(r.options->cTimerMin, "5");
}

TEST(Options, RefusesIntervalsThatAreNotPositiveNumbers) {
  for (std::string bad : {"0", "0.0", "abc", "-3", "5x", "", ".", "0.00001", "1e3", "2,5"}) {
    auto r = parse({bad});
    EXPECT_FALSE(r.options) << bad;
    EXPECT_EQ(r.exit_code, 2) << bad;
    EXPECT_NE(r.message.find("Ungültiges Intervall"), std::string::npos) << bad << ": " << r.message;
  }
}

TEST(Options, HelpEndsWithCodeZero) {
  auto r = parse({"--help"});
  EXPECT_FALSE(r.options);
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.message.find("--headless"), std::string::npos);
  EXPECT_NE(r.message.find("--drive"), std::string::npos);
}

TEST(Options, UsageErrorsEndWithCodeTwo) {
  for (std::vector<std::string> bad : {std::vector<std::string>{"--pace", "-1"},
                                       {"--pace", "schnell"},
                                       {"--unbekannt"},
                                       {"2", "3"}}) {
    auto r = parse(bad);
    EXPECT_FALSE(r.options) << bad[0];
    EXPECT_EQ(r.exit_code, 2) << bad[0];
    EXPECT_FALSE(r.message.empty());
  }
}

TEST(LeadingNumber, TakesTheNumberAtTheStartOfTheText) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {{"2", 2}, {"0.5", 0.5}, {" 5", 5}, {"5abc", 5}, {"abc", 0}, {"", 0}, {"-3", -3}, {".25", 0.25}};
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(leading_number(c.text), c.value) << c.text;
}

}  // namespace
}  // namespace orvex

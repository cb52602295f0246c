#include "tables/legacy.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace orvex {
namespace {

class SetFunctionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    key_actions().clear();
    key_actions().set_typer([this](const std::string& text) { typed_.push_back(text); });
  }
  void TearDown() override { key_actions().clear(); }

  std::vector<std::string> typed_;
};

TEST_F(SetFunctionTest, InstallsOnTheTextModeKeyCode) {
  struct Case {
    int key;
    int code;
  };
  for (const Case& c : std::vector<Case>{{1, 28}, {2, -1}, {5, -4}, {10, -9}}) {
    SCOPED_TRACE(c.key);
    __SETFUNCTION(c.key, "F" + std::to_string(c.key));
    KeyAction action = key_actions().get(c.code);
    ASSERT_TRUE(action);
    action();
    EXPECT_EQ(typed_.back(), "F" + std::to_string(c.key));
  }
  EXPECT_FALSE(key_actions().get(0));  // no key spills over onto a neighbouring code
}

TEST_F(SetFunctionTest, ReturnsThePreviousAction) {
  EXPECT_FALSE(__SETFUNCTION(3, "erst"));
  KeyAction previous = __SETFUNCTION(3, "dann");
  ASSERT_TRUE(previous);
  previous();
  key_actions().get(-2)();
  EXPECT_EQ(typed_, (std::vector<std::string>{"erst", "dann"}));

  // An action installed another way comes back as it was.
  int calls = 0;
  key_actions().set(28, [&] { ++calls; });
  KeyAction other = __SETFUNCTION(1, "x");
  ASSERT_TRUE(other);
  other();
  EXPECT_EQ(calls, 1);
}

TEST_F(SetFunctionTest, KeysBeyondF10AreRefused) {
  for (int key : {0, 11, -1}) EXPECT_THROW(__SETFUNCTION(key, "x"), std::out_of_range) << key;
}

TEST(Hpar, SetsTheFiveSwitches) {
  hpar_vars() = HparVars{true, 7, "J", "E", ".T."};
  hpar();
  const HparVars& v = hpar_vars();
  EXPECT_FALSE(v.compat);
  EXPECT_EQ(v.upfehl, 0);
  EXPECT_EQ(v.vnetz, "N");
  EXPECT_EQ(v.schalt, " ");
  EXPECT_EQ(v.vara, ".F.");
}

}  // namespace
}  // namespace orvex

#include "platform/pace/pace.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace orvex {
namespace {

// Records what would have been waited instead of waiting.
class PaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    set_pace_waiter([this](int ms) { waited_.push_back(ms); });
  }
  void TearDown() override {
    set_pace_waiter(nullptr);
    set_pace_factor(1.0);
  }
  std::vector<int> waited_;
};

TEST_F(PaceTest, ScalesHundredthsByTheFactor) {
  struct Case {
    double factor;
    int hundredths;
    std::vector<int> waited;
  } cases[] = {
      {1.0, 100, {1000}},
      {0.5, 100, {500}},
      {2.0, 150, {3000}},
      {0.01, 500, {50}},
      {0.0, 1000, {}},     // fast mode: no operator pauses at all
      {1.0, 0, {}},
      {1.0, -5, {}},
      {0.001, 1, {}},      // well under a millisecond
  };
  for (const Case& c : cases) {
    waited_.clear();
    set_pace_factor(c.factor);
    pace(c.hundredths);
    EXPECT_EQ(waited_, c.waited) << c.factor << " x " << c.hundredths;
  }
}

TEST_F(PaceTest, UnpacedWaitIgnoresTheFactor) {
  set_pace_factor(0.0);
  wait_unpaced(50);
  set_pace_factor(0.5);
  wait_unpaced(1);
  EXPECT_EQ(waited_, (std::vector<int>{500, 10}));
}

TEST_F(PaceTest, NonsenseFactorsFallBackToRealTime) {
  for (double f : {-1.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
    set_pace_factor(0.25);
    set_pace_factor(f);
    EXPECT_EQ(pace_factor(), 1.0) << f;
  }
}

TEST(PaceDefaultTest, WithoutWaiterFastModeReturns) {
  set_pace_factor(0.0);
  pace(1000000);  // would sleep almost three hours if the factor were ignored
  set_pace_factor(1.0);
  SUCCEED();
}

}  // namespace
}  // namespace orvex

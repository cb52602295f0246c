#include "platform/pace/pace.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <mutex>
#include <thread>

namespace orvex {
namespace {

std::atomic<double> factor{1.0};
std::mutex waiter_mutex;
PaceWaiter& installed_waiter() {
  static PaceWaiter waiter;
  return waiter;
}

void wait_ms(double ms) {
  if (!(ms >= 0.5)) return;  // nothing to wait (also NaN)
  const double capped = std::min(ms, static_cast<double>(std::numeric_limits<int>::max()));
  const int milliseconds = static_cast<int>(std::lround(capped));
  PaceWaiter waiter;
  {
    std::lock_guard lock(waiter_mutex);
    waiter = installed_waiter();
  }
  if (waiter) {
    waiter(milliseconds);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
}

}  // namespace

void pace(int hundredths) {
  if (hundredths <= 0) return;
  wait_ms(hundredths * pace_factor() * 10.0);
}

void wait_unpaced(int hundredths) {
  if (hundredths <= 0) return;
  wait_ms(hundredths * 10.0);
}

void set_pace_factor(double f) {
  // A factor that makes no sense (negative, NaN, infinite) falls back to real time.
  factor.store(std::isfinite(f) && f >= 0.0 ? f : 1.0);
}

double pace_factor() { return factor.load(); }

void set_pace_waiter(PaceWaiter waiter) {
  std::lock_guard lock(waiter_mutex);
  installed_waiter() = std::move(waiter);
}

}  // namespace orvex

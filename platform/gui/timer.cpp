#include "platform/gui/timer.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "platform/gui/events.h"

namespace orvex::gui {

namespace {

struct TimerThread {
  std::mutex m;
  std::condition_variable cv;
  std::thread thread;
  int interval = 0;        // hundredths
  unsigned generation = 0; // bumped by every registration: the countdown starts anew
  bool stop = false;

  void run() {
    std::unique_lock lock(m);
    while (!stop) {
      const unsigned gen = generation;
      const auto wait = std::chrono::milliseconds(10LL * interval);
      if (cv.wait_for(lock, wait, [&] { return stop || generation != gen; })) continue;
      postAppEvent(Event::Timer);
    }
  }
};

TimerThread& timer() {
  static TimerThread t;
  return t;
}

}  // namespace

void set_timer(int hundredths) {
  if (hundredths < 0) throw std::invalid_argument("timer interval must not be negative");
  TimerThread& t = timer();
  std::unique_lock lock(t.m);
  t.interval = hundredths;
  ++t.generation;
  if (hundredths == 0) {
    if (!t.thread.joinable()) return;
    t.stop = true;
    lock.unlock();
    t.cv.notify_all();
    t.thread.join();
    return;
  }
  if (!t.thread.joinable()) {
    t.stop = false;
    t.thread = std::thread([&t] { t.run(); });
    return;
  }
  lock.unlock();
  t.cv.notify_all();
}

int timer_interval() {
  TimerThread& t = timer();
  std::lock_guard lock(t.m);
  return t.thread.joinable() ? t.interval : 0;
}

}  // namespace orvex::gui

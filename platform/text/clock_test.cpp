#include "platform/text/clock.h"

#include <gtest/gtest.h>

#include <ctime>

namespace orvex::text {
namespace {

TimePoint local_time(int year, int month, int day, int hour, int minute, int second) {
  std::tm parts{};
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  parts.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&parts));
}

TEST(ClockTest, DateAndTimeTexts) {
  struct Case {
    TimePoint t;
    const char* date;
    const char* time;
  } cases[] = {
      {local_time(2024, 12, 9, 7, 5, 3), "09.12.24", "07:05:03"},
      {local_time(2000, 1, 31, 23, 59, 59), "31.01.00", "23:59:59"},
      {local_time(2024, 7, 1, 0, 0, 0) + std::chrono::milliseconds(999), "01.07.24", "00:00:00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(date_text(c.t), c.date);
    EXPECT_EQ(time_text(c.t), c.time);
  }
}

}  // namespace
}  // namespace orvex::text

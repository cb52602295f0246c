#include "platform/text/clock.h"

#include <ctime>

namespace orvex::text {
namespace {

std::string format_local(TimePoint t, const char* format) {
  const std::time_t secs = std::chrono::system_clock::to_time_t(t);
  std::tm parts{};
  localtime_r(&secs, &parts);
  char buf[32];
  const std::size_t n = std::strftime(buf, sizeof buf, format, &parts);
  return std::string(buf, n);
}

}  // namespace

std::string date_text(TimePoint t) { return format_local(t, "%d.%m.%y"); }
std::string time_text(TimePoint t) { return format_local(t, "%H:%M:%S"); }

}  // namespace orvex::text

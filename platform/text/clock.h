#pragma once
#include <chrono>
#include <string>

namespace orvex::text {

using TimePoint = std::chrono::system_clock::time_point;

// "dd.mm.yy" (9 December 2024 -> "09.12.24"), local time.
std::string date_text(TimePoint t = std::chrono::system_clock::now());
// "hh:mm:ss", 24-hour clock, local time.
std::string time_text(TimePoint t = std::chrono::system_clock::now());

}  // namespace orvex::text

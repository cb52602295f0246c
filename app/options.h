#pragma once
// The command line of orvex-mail.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

struct Options {
  std::string cTimerMin = "2";      // INTERVAL as given: dispatch interval in minutes
  std::vector<std::string> drives;  // "L=DIR", applied after ORVEX_DRIVES so they win
  double pace = 1.0;
  bool headless = false;
  bool once = false;
};

// Either options to run with, or a reason to stop at once (help text, a usage error) with the
// exit code and the text for the terminal.
struct ParsedOptions {
  std::optional<Options> options;
  int exit_code = 0;
  std::string message;
};

ParsedOptions parse_options(int argc, const char* const* argv);

// The number at the start of the interval text (leading blanks skipped); 0 when there is none.
double leading_number(std::string_view text);

// German complaint when the interval text is not a positive number of minutes, else nullopt.
// A text like "abc" would otherwise give a timer of interval 0 that never fires.
std::optional<std::string> interval_problem(std::string_view text);

}  // namespace orvex

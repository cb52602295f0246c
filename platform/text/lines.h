#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace orvex::text {

// Every LF not preceded by CR becomes CR LF (an LF at the very first position stays bare).
std::string complete_line_ends(std::string_view text);

// Splits a text into memo lines of the given width: lines end at CR LF; a longer line is
// wrapped onto the next (at the last blank within the width, else hard). Trailing blanks of
// each line are removed. A final line break does not start another line.
std::vector<std::string> memo_lines(std::string_view text, std::size_t width = 80);

std::string to_lower_ascii(std::string_view s);  // A-Z only: CP1252 bytes stay intact
std::string trim(std::string_view s);             // blanks (and only blanks) on both sides
std::string trim_right(std::string_view s);

}  // namespace orvex::text

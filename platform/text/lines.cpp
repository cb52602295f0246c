#include "platform/text/lines.h"

#include "platform/text/codepage.h"

namespace orvex::text {
namespace {

// Byte offsets where the characters of line start (plus one past the end): code points for
// valid UTF-8, single bytes for anything else (a CP1252 text counts one byte per character).
std::vector<std::size_t> char_starts(std::string_view line, bool utf8) {
  std::vector<std::size_t> starts;
  starts.reserve(line.size() + 1);
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (!utf8 || (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) starts.push_back(i);
  }
  starts.push_back(line.size());
  return starts;
}

void wrap_into(std::vector<std::string>& out, std::string_view line, std::size_t width, bool utf8) {
  // Trailing blanks go anyway; dropping them first keeps them from wrapping into a blank line.
  line = line.substr(0, line.find_last_not_of(' ') + 1);
  const std::vector<std::size_t> at = char_starts(line, utf8);
  std::size_t first = 0;  // character index where the current piece starts
  const std::size_t chars = at.size() - 1;
  while (true) {
    if (width == 0 || chars - first <= width) {
      out.push_back(trim_right(line.substr(at[first])));
      return;
    }
    // Break at the last blank that lets the line hold at most width characters; a blank
    // right after the width still counts, so the cut falls exactly at the width.
    std::size_t cut = 0;
    for (std::size_t k = first + width; k > first; --k) {
      if (line[at[k]] == ' ') {
        cut = k;
        break;
      }
    }
    if (cut > 0) {
      out.push_back(trim_right(line.substr(at[first], at[cut] - at[first])));
      first = cut + 1;
    } else {
      out.push_back(std::string(line.substr(at[first], at[first + width] - at[first])));
      first += width;
    }
  }
}

}  // namespace

std::string complete_line_ends(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && i > 0 && text[i - 1] != '\r') out += '\r';
    out += text[i];
  }
  return out;
}

std::vector<std::string> memo_lines(std::string_view text, std::size_t width) {
  std::vector<std::string> lines;
  const bool utf8 = looks_like_utf8(text);
  while (!text.empty()) {
    // CR LF ends a line; a bare LF too (only the first character can still be one).
    const std::size_t lf = text.find('\n');
    std::string_view line = text.substr(0, lf);
    if (lf != std::string_view::npos && lf > 0 && line.back() == '\r') line.remove_suffix(1);
    wrap_into(lines, line, width, utf8);
    if (lf == std::string_view::npos) break;
    text.remove_prefix(lf + 1);
  }
  return lines;
}

std::string to_lower_ascii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string trim(std::string_view s) {
  const std::size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = s.find_last_not_of(' ');
  return std::string(s.substr(first, last - first + 1));
}

std::string trim_right(std::string_view s) {
  const std::size_t last = s.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string() : std::string(s.substr(0, last + 1));
}

}  // namespace orvex::text

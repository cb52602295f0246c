#include "platform/text/codepage.h"

#include <iconv.h>

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <unordered_map>

namespace orvex::text {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

void append_utf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// One UTF-8 character at s[i]: its code point and length, or nullopt when malformed
// (overlong forms, surrogates and values beyond U+10FFFF count as malformed).
std::optional<std::pair<char32_t, std::size_t>> next_utf8(std::string_view s, std::size_t i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) return std::pair<char32_t, std::size_t>{b0, 1};
  std::size_t len;
  char32_t c, min;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, c = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, c = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, c = b0 & 0x07, min = 0x10000;
  } else {
    return std::nullopt;
  }
  if (i + len > s.size()) return std::nullopt;
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) return std::nullopt;
    c = (c << 6) | (b & 0x3F);
  }
  if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
  return std::pair<char32_t, std::size_t>{c, len};
}

// A single-byte code page as iconv knows it, taken once into tables for both directions.
class CodePage {
 public:
  explicit CodePage(const char* name) {
    iconv_t cd = iconv_open("UTF-32LE", name);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
      throw std::runtime_error(std::string("Zeichensatz ") + name + " ist nicht verfügbar (iconv).");
    }
    for (int b = 0; b < 256; ++b) {
      char in = static_cast<char>(b);
      unsigned char out[8] = {};
      char* inp = &in;
      char* outp = reinterpret_cast<char*>(out);
      std::size_t inleft = 1, outleft = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &inp, &inleft, &outp, &outleft) == static_cast<std::size_t>(-1) || outleft != 4) {
        to_utf8_[b] = std::string(kReplacement);  // a byte the code page leaves undefined
        continue;
      }
      const char32_t c = out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<char32_t>(out[3]) << 24);
      append_utf8(to_utf8_[b], c);
      from_unicode_.emplace(c, static_cast<char>(b));
    }
    iconv_close(cd);
  }

  std::string decode(std::string_view bytes) const {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (char b : bytes) out += to_utf8_[static_cast<unsigned char>(b)];
    return out;
  }

  std::string encode(std::string_view utf8) const {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
      const auto ch = next_utf8(utf8, i);
      if (!ch) {
        out += '?';  // a stray byte: visible, not dropped
        ++i;
        continue;
      }
      auto it = from_unicode_.find(ch->first);
      out += it == from_unicode_.end() ? '?' : it->second;
      i += ch->second;
    }
    return out;
  }

 private:
  std::array<std::string, 256> to_utf8_;
  std::unordered_map<char32_t, char> from_unicode_;
};

const CodePage& cp1252() {
  static const CodePage page("CP1252");
  return page;
}
const CodePage& cp850() {
  static const CodePage page("CP850");
  return page;
}

}  // namespace

std::string cp1252_to_utf8(std::string_view bytes) { return cp1252().decode(bytes); }
std::string utf8_to_cp1252(std::string_view utf8) { return cp1252().encode(utf8); }
std::string cp850_to_utf8(std::string_view bytes) { return cp850().decode(bytes); }
std::string utf8_to_cp850(std::string_view utf8) { return cp850().encode(utf8); }

bool looks_like_utf8(std::string_view bytes) {
  bool non_ascii = false;
  for (std::size_t i = 0; i < bytes.size();) {
    const auto ch = next_utf8(bytes, i);
    if (!ch) return false;
    non_ascii = non_ascii || ch->second > 1;
    i += ch->second;
  }
  return non_ascii;
}

}  // namespace orvex::text

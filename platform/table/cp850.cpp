#include "platform/table/cp850.h"

#include <iconv.h>

#include <array>
#include <cstdint>
#include <stdexcept>
#include <unordered_map>

namespace orvex::table {
namespace {

// iconv per field would dominate appends; ask it once for each upper byte instead.
struct Tables {
  std::array<std::string, 256> decode;
  std::unordered_map<char32_t, unsigned char> encode;

  Tables() {
    iconv_t cd = iconv_open("UTF-8", "CP850");
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv: CP850 nicht verfügbar");
    for (int b = 0; b < 256; ++b) {
      if (b < 0x80) {
        decode[b] = std::string(1, static_cast<char>(b));
        continue;
      }
      char in = static_cast<char>(b);
      char out[8];
      char* pin = &in;
      char* pout = out;
      size_t inleft = 1, outleft = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &pin, &inleft, &pout, &outleft) == static_cast<size_t>(-1)) {
        decode[b] = "\xEF\xBF\xBD";
        continue;
      }
      decode[b] = std::string(out, pout);
      const std::string& s = decode[b];
      auto c0 = static_cast<unsigned char>(s[0]);
      int extra = c0 >= 0xF0 ? 3 : c0 >= 0xE0 ? 2 : c0 >= 0xC0 ? 1 : 0;
      char32_t cp = extra == 0 ? c0 : (c0 & (0x3F >> extra));
      for (std::size_t i = 1; i < s.size(); ++i) cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
      encode.emplace(cp, static_cast<unsigned char>(b));
    }
    iconv_close(cd);
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

}  // namespace

std::string cp850_decode(std::string_view bytes) {
  const Tables& t = tables();
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    auto b = static_cast<unsigned char>(c);
    if (b < 0x80)
      out.push_back(c);
    else
      out += t.decode[b];
  }
  return out;
}

std::string cp850_encode(std::string_view utf8) {
  const Tables& t = tables();
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    auto c0 = static_cast<unsigned char>(utf8[i]);
    if (c0 < 0x80) {
      out.push_back(static_cast<char>(c0));
      ++i;
      continue;
    }
    int extra = (c0 & 0xE0) == 0xC0 ? 1 : (c0 & 0xF0) == 0xE0 ? 2 : (c0 & 0xF8) == 0xF0 ? 3 : -1;
    char32_t cp = extra > 0 ? (c0 & (0x3F >> extra)) : 0;
    bool ok = extra > 0 && i + static_cast<std::size_t>(extra) < utf8.size();
    for (int k = 1; ok && k <= extra; ++k) {
      auto ck = static_cast<unsigned char>(utf8[i + k]);
      if ((ck & 0xC0) != 0x80) ok = false;
      cp = (cp << 6) | (ck & 0x3F);
    }
    if (!ok) {
      out.push_back('?');
      ++i;
      continue;
    }
    auto it = t.encode.find(cp);
    out.push_back(it == t.encode.end() ? '?' : static_cast<char>(it->second));
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

}  // namespace orvex::table

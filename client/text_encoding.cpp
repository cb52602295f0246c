#include "text_encoding.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace cmail {

bool is_valid_utf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    int extra;
    unsigned min;
    unsigned cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, min = 0x80, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, min = 0x800, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, min = 0x10000, cp = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= bytes.size()) return false;
    for (int k = 1; k <= extra; ++k) {
      const auto cc = static_cast<unsigned char>(bytes[i + k]);
      if ((cc & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

namespace {

bool has_non_ascii(std::string_view bytes) {
  for (char c : bytes)
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  return false;
}

class Iconv {
 public:
  Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
  }
  ~Iconv() { iconv_close(cd_); }
  Iconv(const Iconv&) = delete;
  Iconv& operator=(const Iconv&) = delete;
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

std::string argument_to_utf8(std::string_view bytes) {
  if (!has_non_ascii(bytes) || is_valid_utf8(bytes)) return std::string(bytes);

  Iconv cd("UTF-8", "WINDOWS-1252");
  std::string out;
  out.reserve(bytes.size() * 2);
  char buffer[256];
  char* in = const_cast<char*>(bytes.data());
  size_t in_left = bytes.size();
  while (in_left > 0) {
    char* outp = buffer;
    size_t out_left = sizeof buffer;
    const size_t rc = iconv(cd.get(), &in, &in_left, &outp, &out_left);
    out.append(buffer, outp);
    if (rc == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ/EINVAL: a byte 1252 leaves undefined.
      out += "\xEF\xBF\xBD";
      ++in;
      --in_left;
    }
  }
  return out;
}

}  // namespace cmail

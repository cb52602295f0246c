#pragma once
// Code pages at the file boundary. In memory every text is UTF-8.
#include <string>
#include <string_view>

namespace orvex::text {

// Windows-1252 bytes -> UTF-8. Bytes 1252 leaves undefined (0x81, 0x8D, ...) become U+FFFD.
std::string cp1252_to_utf8(std::string_view bytes);
// UTF-8 -> Windows-1252; characters 1252 cannot hold become '?', and so does each byte
// that is not part of valid UTF-8.
std::string utf8_to_cp1252(std::string_view utf8);
std::string cp850_to_utf8(std::string_view bytes);
// UTF-8 -> CP850 (dBase fields, index keys); '?' as for 1252.
std::string utf8_to_cp850(std::string_view utf8);

// True when the bytes are valid UTF-8 and contain at least one non-ASCII character.
bool looks_like_utf8(std::string_view bytes);

}  // namespace orvex::text

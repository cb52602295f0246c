#pragma once
// Text arguments arrive as Windows-1252 bytes from the dispatcher, or as UTF-8 when typed
// at a Linux terminal; the mail carries UTF-8.
#include <string>
#include <string_view>

namespace cmail {

// True when the bytes are well-formed UTF-8 (no overlongs, no surrogates).
bool is_valid_utf8(std::string_view bytes);

// Valid UTF-8 holding at least one non-ASCII character is kept; anything else is decoded
// as Windows-1252. Bytes 1252 leaves undefined become U+FFFD, so nothing vanishes silently.
std::string argument_to_utf8(std::string_view bytes);

}  // namespace cmail

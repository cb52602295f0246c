#pragma once
// CP850 <-> UTF-8 for dBase character fields and index keys.
#include <string>
#include <string_view>

namespace orvex::table {

std::string cp850_decode(std::string_view bytes);
// Characters CP850 cannot hold and broken UTF-8 become '?', visibly.
std::string cp850_encode(std::string_view utf8);

}  // namespace orvex::table

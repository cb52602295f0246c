#pragma once
// The dispatcher may hand on paths in their Windows form ("C:\XARV\CMail\Ausgang\1.result").
#include <filesystem>
#include <string_view>

namespace cmail {

// Linux path for a path argument. "X:" is looked up in drive_map, the ORVEX_DRIVES form
// "C=/srv/orvex/c;T=/srv/t"; "\" separates like "/"; each existing component is found
// without regard to case, a missing one keeps its spelling. Throws std::runtime_error for
// a drive letter that is not mapped.
std::filesystem::path local_path(std::string_view path, std::string_view drive_map);

// Last component of either path form ("C:\a\b.pdf" -> "b.pdf").
std::string file_name_of(std::string_view path);

}  // namespace cmail

#pragma once
// Drive letters of the Windows-form paths the program uses, mapped to Linux folders.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace orvex::files {

// Thrown when a path cannot be mapped (unmapped drive letter). what() is German, for the operator.
class PathError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Process setting, set once at start: drive letter (any case) -> Linux folder.
void set_drive(char letter, const std::filesystem::path& dir);
// "C=/srv/orvex/c" (the --drive option); throws PathError on a malformed spec.
void add_drive_spec(std::string_view spec);
// "C=/a;T=/b", the form of ORVEX_DRIVES; empty entries are skipped. Every well-formed entry
// is set even when another is malformed; then PathError names the first malformed one.
void load_drives(std::string_view map);
// Reads ORVEX_DRIVES="C=/a;T=/b" when set.
void load_drives_from_env();
void clear_drives();

// The Linux form of a Windows-form path as text, without touching the disk:
// "C:\XARV\CMail\x.ausg" -> "<map of C>/XARV/CMail/x.ausg"; a path without drive is
// relative to the working directory; "\" and "/" both separate. Throws PathError.
std::filesystem::path map_path(std::string_view winpath);

// Last component of either path form, as text: "C:\a\b.pdf" -> "b.pdf", "C:x.pdf" -> "x.pdf".
std::string file_name(std::string_view winpath);

}  // namespace orvex::files

#pragma once
// The file world as the program sees it: Windows-form paths (drive letters, "\"),
// names compared without regard to case, moves that never lose a file.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvex::files {

// Finds the existing Linux path for a Windows-form path, each component looked up
// without regard to case ("CMAIL" finds "CMail"). Components that do not exist yet keep
// the spelling given. Throws PathError for an unmapped drive.
std::filesystem::path resolve(std::string_view winpath);

struct DirEntry {
  std::string name;        // file name only, as stored on disk
  std::uintmax_t size = 0;
};

// All regular files matching a wildcard pattern "folder\*.ausg" ('*' and '?', without
// regard to case), sorted by name like the Windows listing. A missing folder lists nothing.
std::vector<DirEntry> list(std::string_view winpattern);

bool file_exists(std::string_view winpath);
bool dir_exists(std::string_view winpath);

// Whole file as bytes; empty when missing or unreadable.
std::string read_file(std::string_view winpath);
// Whole file as bytes, or nullopt when it cannot be read (missing, a folder, no permission).
std::optional<std::string> try_read_file(std::string_view winpath);

// Result of a file operation: ok, or a German reason for the operator.
struct Status {
  bool ok = true;
  std::string error;  // empty when ok
  explicit operator bool() const { return ok; }
  static Status success() { return {}; }
  static Status failure(std::string why) { return {false, std::move(why)}; }
};

// Writes through a temporary name in the same folder, fsync, rename: never half a file.
Status write_file(std::string_view winpath, std::string_view bytes);
// Copy (overwriting the target) through a temporary name + fsync + rename.
Status copy_file(std::string_view from, std::string_view to);
// Moves a file (overwriting the target): rename when possible, else copy + fsync + rename and
// only then delete the source. A failed copy never deletes the source.
Status move_file(std::string_view from, std::string_view to);
// Deletes a regular file (never a folder, never follows a link out of its folder).
Status delete_file(std::string_view winpath);
// Creates the folder and its parents ("cmd /C MD path").
Status make_dir(std::string_view winpath);

}  // namespace orvex::files

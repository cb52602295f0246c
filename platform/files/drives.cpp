#include "platform/files/drives.h"

#include <cctype>
#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>

namespace orvex::files {
namespace {

std::mutex drive_mutex;
std::map<char, std::filesystem::path>& drive_map() {
  static std::map<char, std::filesystem::path> map;
  return map;
}

char upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_sep(char c) { return c == '\\' || c == '/'; }

std::filesystem::path drive_root(char letter) {
  std::lock_guard lock(drive_mutex);
  auto it = drive_map().find(upper(letter));
  if (it == drive_map().end()) {
    const char l = upper(letter);
    throw PathError(std::string("Laufwerk ") + l + ": ist keinem Ordner zugeordnet (Option --drive " + l +
                    "=ORDNER oder ORVEX_DRIVES).");
  }
  return it->second;
}

}  // namespace

void set_drive(char letter, const std::filesystem::path& dir) {
  if (!is_letter(letter)) {
    throw PathError(std::string("Ungültiger Laufwerksbuchstabe \"") + letter + "\".");
  }
  std::lock_guard lock(drive_mutex);
  drive_map()[upper(letter)] = dir;
}

void add_drive_spec(std::string_view spec) {
  // "C=/dir", also "C:=/dir" as operators tend to write the colon.
  std::string_view rest = spec;
  const bool ok_letter = !rest.empty() && is_letter(rest[0]);
  if (ok_letter) rest.remove_prefix(1);
  if (!rest.empty() && rest[0] == ':') rest.remove_prefix(1);
  if (!ok_letter || rest.size() < 2 || rest[0] != '=') {
    throw PathError("Ungültige Laufwerkszuordnung \"" + std::string(spec) +
                    "\" (erwartet: --drive C=ORDNER).");
  }
  rest.remove_prefix(1);
  set_drive(spec[0], std::filesystem::path(std::string(rest)));
}

void load_drives(std::string_view map) {
  std::optional<PathError> first_error;
  while (!map.empty()) {
    const auto semi = map.find(';');
    std::string_view one = map.substr(0, semi);
    if (!one.empty()) {
      try {
        add_drive_spec(one);
      } catch (const PathError& e) {
        if (!first_error) first_error = e;
      }
    }
    if (semi == std::string_view::npos) break;
    map.remove_prefix(semi + 1);
  }
  if (first_error) throw *first_error;
}

void load_drives_from_env() {
  const char* env = std::getenv("ORVEX_DRIVES");
  if (env != nullptr) load_drives(env);
}

void clear_drives() {
  std::lock_guard lock(drive_mutex);
  drive_map().clear();
}

std::filesystem::path map_path(std::string_view winpath) {
  std::filesystem::path result;
  std::string_view rest = winpath;
  if (rest.size() >= 2 && is_letter(rest[0]) && rest[1] == ':') {
    result = drive_root(rest[0]);
    rest.remove_prefix(2);
  } else if (!rest.empty() && is_sep(rest[0])) {
    // No drive to map: a leading separator is taken as a Linux absolute path.
    result = "/";
  }
  while (!rest.empty()) {
    std::size_t end = 0;
    while (end < rest.size() && !is_sep(rest[end])) ++end;
    if (end > 0) result /= std::string(rest.substr(0, end));
    rest.remove_prefix(end < rest.size() ? end + 1 : end);
  }
  if (result.empty()) result = ".";
  return result;
}

std::string file_name(std::string_view winpath) {
  const auto cut = winpath.find_last_of("\\/");
  std::string_view name = cut == std::string_view::npos ? winpath : winpath.substr(cut + 1);
  if (cut == std::string_view::npos && name.size() >= 2 && is_letter(name[0]) && name[1] == ':') {
    name.remove_prefix(2);
  }
  return std::string(name);
}

}  // namespace orvex::files

#include "local_path.h"

#include <cctype>
#include <stdexcept>
#include <string>
#include <system_error>

namespace cmail {
namespace fs = std::filesystem;

namespace {

bool has_drive(std::string_view p) {
  return p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]));
}

fs::path drive_root(char letter, std::string_view map) {
  while (!map.empty()) {
    const auto end = map.find(';');
    std::string_view entry = map.substr(0, end);
    map = end == std::string_view::npos ? std::string_view{} : map.substr(end + 1);
    if (entry.size() >= 3 && entry[1] == '=' &&
        std::toupper(static_cast<unsigned char>(entry[0])) ==
            std::toupper(static_cast<unsigned char>(letter)))
      return fs::path(std::string(entry.substr(2)));
  }
  throw std::runtime_error(std::string("drive ") + letter +
                           ": is not mapped (set ORVEX_DRIVES, e.g. C=/srv/orvex/c)");
}

bool same_ignoring_case(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// The spelling on disk of `name` inside `dir`, or `name` itself when there is none.
std::string existing_spelling(const fs::path& dir, const std::string& name) {
  std::error_code ec;
  if (fs::exists(dir / name, ec)) return name;
  fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, ec);
  if (ec) return name;
  for (const auto& entry : it) {
    const std::string candidate = entry.path().filename().string();
    if (same_ignoring_case(candidate, name)) return candidate;
  }
  return name;
}

}  // namespace

fs::path local_path(std::string_view path, std::string_view drive_map) {
  fs::path result;
  std::string_view rest = path;
  if (has_drive(path)) {
    result = drive_root(path[0], drive_map);
    rest = path.substr(2);
  } else if (!path.empty() && (path[0] == '/' || path[0] == '\\')) {
    result = "/";
  }
  std::string component;
  auto flush = [&] {
    if (component.empty()) return;
    result /= (component == "." || component == "..") ? component
                                                      : existing_spelling(result, component);
    component.clear();
  };
  for (char c : rest) {
    if (c == '/' || c == '\\')
      flush();
    else
      component += c;
  }
  flush();
  return result;
}

std::string file_name_of(std::string_view path) {
  const auto cut = path.find_last_of("/\\");
  std::string_view name = cut == std::string_view::npos ? path : path.substr(cut + 1);
  if (cut == std::string_view::npos && has_drive(name)) name.remove_prefix(2);
  return std::string(name);
}

}  // namespace cmail

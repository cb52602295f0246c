#include "config.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <system_error>

namespace cmail {

namespace {

std::string trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

std::optional<bool> parse_bool(std::string v) {
  std::transform(v.begin(), v.end(), v.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (v == "1" || v == "true" || v == "yes" || v == "on") return true;
  if (v == "0" || v == "false" || v == "no" || v == "off" || v.empty()) return false;
  return std::nullopt;
}

std::optional<double> parse_seconds(const std::string& v) {
  char* end = nullptr;
  const double s = std::strtod(v.c_str(), &end);
  if (v.empty() || *end != '\0' || !(s > 0) || s > 86400) return std::nullopt;
  return s;
}

void set(Settings& s, const std::string& key, const std::string& value, const std::string& where,
         std::vector<std::string>& warnings) {
  auto bad = [&] { warnings.push_back(where + ": ignoring " + key + " = \"" + value + "\""); };
  if (key == "cafile") {
    s.cafile = value;
  } else if (key == "timeout") {
    if (auto t = parse_seconds(value)) s.timeout_seconds = *t; else bad();
  } else if (key == "verbose") {
    if (auto b = parse_bool(value)) s.verbose = *b; else bad();
  } else if (key == "insecure") {
    if (auto b = parse_bool(value)) s.insecure = *b; else bad();
  } else {
    warnings.push_back(where + ": unknown key \"" + key + "\"");
  }
}

}  // namespace

Settings load_settings(const std::filesystem::path& conf_file, const EnvLookup& env,
                       std::vector<std::string>& warnings) {
  Settings s;
  std::ifstream in(conf_file);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    line = trim(line.substr(0, line.find('#')));
    if (line.empty()) continue;
    const std::string where = conf_file.string() + ":" + std::to_string(number);
    const auto eq = line.find('=');
    if (eq == std::string::npos) {
      warnings.push_back(where + ": expected key = value");
      continue;
    }
    std::string key = trim(line.substr(0, eq));
    std::transform(key.begin(), key.end(), key.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    set(s, key, trim(line.substr(eq + 1)), where, warnings);
  }
  for (const auto& [var, key] : {std::pair{"CMAIL_CAFILE", "cafile"},
                                 std::pair{"CMAIL_TIMEOUT", "timeout"},
                                 std::pair{"CMAIL_VERBOSE", "verbose"}}) {
    if (const char* v = env(var)) set(s, key, trim(v), var, warnings);
  }
  return s;
}

void apply_command_line(Settings& settings, const Arguments& args) {
  if (args.cafile) settings.cafile = *args.cafile;
  if (args.timeout_seconds) settings.timeout_seconds = *args.timeout_seconds;
  if (args.insecure) settings.insecure = true;
  if (args.verbose) settings.verbose = true;
}

std::filesystem::path default_config_file() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "cmail.conf";
  return exe.parent_path() / "cmail.conf";
}

}  // namespace cmail

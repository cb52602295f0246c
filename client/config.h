#pragma once
// Settings the dispatcher's fixed argument text cannot carry: cmail.conf beside the
// executable, then the environment, then the command line.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "arguments.h"

namespace cmail {

struct Settings {
  std::string cafile;  // empty: system trust only
  double timeout_seconds = 60;
  bool verbose = false;
  bool insecure = false;
};

using EnvLookup = std::function<const char*(const char*)>;

// A missing file is fine; unreadable values are skipped with a line in `warnings`.
Settings load_settings(const std::filesystem::path& conf_file, const EnvLookup& env,
                       std::vector<std::string>& warnings);

void apply_command_line(Settings& settings, const Arguments& args);

// cmail.conf in the folder of the running executable.
std::filesystem::path default_config_file();

}  // namespace cmail

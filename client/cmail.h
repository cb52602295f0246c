#pragma once
// The whole client: command line to result file and exit code.
#include <filesystem>
#include <string>
#include <vector>

#include "config.h"

namespace cmail {

// args excludes the program name. Returns the exit code: 0 accepted, 1 failure,
// 2 malformed command line.
int run(const std::vector<std::string>& args, const std::filesystem::path& config_file,
        const EnvLookup& env);

}  // namespace cmail

#pragma once
// Starting programs with an argument vector (never through a shell).
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace orvex::process {

struct Started {
  bool ok = false;
  int pid = -1;
  std::string error;  // German reason when !ok
};

// Starts program with argv (argv[0] is set to the program path) without waiting.
// The child is reaped in the background, so no zombies pile up.
Started start(const std::filesystem::path& program, const std::vector<std::string>& args,
              const std::filesystem::path& working_dir = {});

// Starts and waits; returns the exit code, or nullopt when it could not be started or died by a signal.
std::optional<int> run_and_wait(const std::filesystem::path& program, const std::vector<std::string>& args,
                                const std::filesystem::path& working_dir = {});

// Ends the own process at once (no destructors, no atexit handlers).
[[noreturn]] void end_process_now(int code = 0);

}  // namespace orvex::process

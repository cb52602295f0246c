#include "platform/process/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <system_error>
#include <thread>

extern char** environ;

namespace orvex::process {
namespace {

std::string errno_text(int err) {
  switch (err) {
    case ENOENT: return "Programm nicht gefunden";
    case EACCES:
    case EPERM: return "keine Berechtigung";
    case ENOEXEC: return "kein ausführbares Programm";
    case ENOTDIR: return "Ordner nicht vorhanden";
    default: return std::strerror(err);
  }
}

// Owns what posix_spawn needs, released on every path.
struct SpawnSetup {
  posix_spawn_file_actions_t actions{};
  posix_spawnattr_t attr{};
  SpawnSetup() {
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;
};

Started spawn(const std::filesystem::path& program, const std::vector<std::string>& args,
              const std::filesystem::path& working_dir) {
  const auto fail = [&](const std::string& why) {
    return Started{false, -1, "Programm \"" + program.string() + "\" konnte nicht gestartet werden: " + why + "."};
  };
  if (!working_dir.empty()) {
    struct stat st{};
    if (::stat(working_dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
      return fail("Arbeitsordner \"" + working_dir.string() + "\" nicht vorhanden");
    }
  }
  SpawnSetup setup;
  posix_spawn_file_actions_addopen(&setup.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  if (!working_dir.empty()) posix_spawn_file_actions_addchdir_np(&setup.actions, working_dir.c_str());
  // The child starts clean whatever our threads block or ignore.
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGQUIT);
  posix_spawnattr_setsigmask(&setup.attr, &none);
  posix_spawnattr_setsigdefault(&setup.attr, &defaults);
  posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  const std::string path = program.string();
  std::vector<char*> argv;
  argv.reserve(args.size() + 2);
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  const int err = posix_spawn(&pid, path.c_str(), &setup.actions, &setup.attr, argv.data(), environ);
  if (err != 0) return fail(errno_text(err));
  return Started{true, pid, {}};
}

// Waits for exactly this child, so children of run_and_wait keep their status.
int wait_for(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return status;
}

}  // namespace

Started start(const std::filesystem::path& program, const std::vector<std::string>& args,
              const std::filesystem::path& working_dir) {
  Started started = spawn(program, args, working_dir);
  if (!started.ok) return started;
  const pid_t pid = started.pid;
  try {
    std::thread([pid] { wait_for(pid); }).detach();
  } catch (const std::system_error&) {
    // No thread to be had: wait here rather than leave a zombie behind.
    wait_for(pid);
  }
  return started;
}

std::optional<int> run_and_wait(const std::filesystem::path& program, const std::vector<std::string>& args,
                                const std::filesystem::path& working_dir) {
  const Started started = spawn(program, args, working_dir);
  if (!started.ok) return std::nullopt;
  const int status = wait_for(started.pid);
  if (status < 0 || !WIFEXITED(status)) return std::nullopt;
  return WEXITSTATUS(status);
}

void end_process_now(int code) {
  // Headless runs report through stdout/stderr: that text must not die in a buffer.
  std::cout.flush();
  std::cerr.flush();
  std::fflush(nullptr);
  ::_exit(code);
}

}  // namespace orvex::process

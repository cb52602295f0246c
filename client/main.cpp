#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

#include "cmail.h"

int main(int argc, char** argv) {
  // A server that hangs up mid-write must give a failure result, not kill us.
  std::signal(SIGPIPE, SIG_IGN);
  const std::vector<std::string> args(argv + 1, argv + argc);
  return cmail::run(args, cmail::default_config_file(),
                    [](const char* name) { return static_cast<const char*>(std::getenv(name)); });
}

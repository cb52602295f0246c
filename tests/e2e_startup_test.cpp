// Start-up of the real orvex-mail: the refusals, and a second copy kept out.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "e2e_support.h"
#include "platform/table/dbf.h"

namespace orvex::e2e {
namespace {

namespace fs = std::filesystem;

bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Start, RefusalsWithTheirMessagesAndExitCodes) {
  struct Case {
    const char* what;
    std::function<void(const Root&)> spoil;
    std::vector<std::string> args;
    int exit_code;
    std::string message;
  } cases[] = {
      {"server file missing", [](const Root& r) { fs::remove(r.layout().t_drive / "XARV" / "mwstdat.dbf"); },
       {"--once"}, 3, "Keine Verbindung zum ZentralServer!\r\nVersuchen Sie es später nochmal!"},
      {"interval not a number", {}, {"--once", "abc"}, 2, "Ungültiges Intervall \"abc\""},
      {"interval zero", {}, {"--once", "0"}, 2, "Ungültiges Intervall \"0\""},
  };
  for (const auto& c : cases) {
    Root root;
    demo::make_root(root.layout(), demo::Server{}, {}, {});
    if (c.spoil) c.spoil(root);
    const RunResult run = root.run(c.args);
    EXPECT_EQ(run.exit_code, c.exit_code) << c.what << "\n" << run.output;
    EXPECT_TRUE(has(run.output, c.message)) << c.what << "\n" << run.output;
    EXPECT_FALSE(fs::exists(root.log_table())) << c.what << ": the log table was touched";
  }
}

TEST(Start, SecondCopyRefusesWhileTheFirstRuns) {
  Root root;
  demo::make_root(root.layout(), demo::Server{}, {}, {});
  const fs::path first_out = root.layout().root / "first.out";
  const pid_t first = root.start({}, first_out);
  // The first copy holds the log table once it has opened it.
  bool held = false;
  for (int i = 0; i < 3000 && !held; ++i) {
    held = fs::exists(root.log_table()) &&
           table::Dbf::open(root.log_table(), table::OpenMode::Exclusive, true) == nullptr;
    if (!held) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(held) << read_text(first_out);

  const RunResult second = root.run();
  EXPECT_EQ(second.exit_code, 4) << second.output;
  EXPECT_TRUE(has(second.output, "Brevor ist bereits geöffnet!\r\nBitte ggf. zuerst schließen!")) << second.output;

  // The first copy is not affected.
  EXPECT_EQ(waitpid(first, nullptr, WNOHANG), 0);
  kill(first, SIGKILL);
  waitpid(first, nullptr, 0);
  EXPECT_EQ(root.run().exit_code, 0);
}

}  // namespace
}  // namespace orvex::e2e

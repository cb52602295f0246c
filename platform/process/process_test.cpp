#include "platform/process/process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <thread>

namespace orvex::process {
namespace {

namespace fs = std::filesystem;

std::string get(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Bounded wait for something a background child does; never a timing assertion.
template <typename Pred>
bool eventually(Pred done) {
  for (int i = 0; i < 1000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}

// 'Z' for a zombie, 0 when the process is gone.
char proc_state(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  if (!std::getline(in, line)) return 0;
  const auto paren = line.rfind(')');
  return paren + 2 < line.size() ? line[paren + 2] : 0;
}

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "orvex-proc-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

TEST_F(ProcessTest, ArgumentsReachTheProgramVerbatim) {
  const std::string arg = "-to:\"Max Muster\" <m@x.de>; touch INJ1 $(touch INJ2) `touch INJ3` | 'x' && * \\ \n";
  // The child writes to a temp name and renames, so the file appears whole.
  const std::string script = "printf '%s' \"$1\" > out.tmp && mv out.tmp out";
  const Started s = start("/bin/sh", {"-c", script, "sh", arg}, dir_);
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_GT(s.pid, 0);
  ASSERT_TRUE(eventually([&] { return fs::exists(dir_ / "out"); }));
  EXPECT_EQ(get(dir_ / "out"), arg);
  for (const char* f : {"INJ1", "INJ2", "INJ3"}) EXPECT_FALSE(fs::exists(dir_ / f)) << f;
}

TEST_F(ProcessTest, RunAndWaitReturnsExitCode) {
  struct Case {
    std::string script;
    std::optional<int> code;
  } cases[] = {
      {"exit 0", 0},
      {"exit 1", 1},
      {"exit 42", 42},
      {"exit 255", 255},
      {"kill -9 $$", std::nullopt},  // died by a signal
      {"read x; exit $?", 1},        // stdin is at end of file, never our terminal
  };
  for (const Case& c : cases) {
    EXPECT_EQ(run_and_wait("/bin/sh", {"-c", c.script}), c.code) << c.script;
  }
}

TEST_F(ProcessTest, RunsInTheWorkingDirectory) {
  ASSERT_EQ(run_and_wait("/bin/sh", {"-c", "pwd -P > here"}, dir_), 0);
  EXPECT_EQ(get(dir_ / "here"), fs::canonical(dir_).string() + "\n");
}

TEST_F(ProcessTest, UnstartableProgramsGiveGermanReasons) {
  std::ofstream(dir_ / "not-executable") << "#!/bin/sh\n";
  struct Case {
    fs::path program;
    fs::path working_dir;
    const char* reason;
  } cases[] = {
      {"/nonexistent/cmail.exe", {}, "nicht gefunden"},
      {dir_ / "not-executable", {}, "keine Berechtigung"},
      {"/bin/true", dir_ / "fehlt", "Arbeitsordner"},
  };
  for (const Case& c : cases) {
    const Started s = start(c.program, {"x"}, c.working_dir);
    EXPECT_FALSE(s.ok) << c.program;
    EXPECT_NE(s.error.find("konnte nicht gestartet werden"), std::string::npos) << s.error;
    EXPECT_NE(s.error.find(c.program.string()), std::string::npos) << s.error;
    EXPECT_NE(s.error.find(c.reason), std::string::npos) << s.error;
    EXPECT_EQ(run_and_wait(c.program, {}, c.working_dir), std::nullopt) << c.program;
  }
}

TEST_F(ProcessTest, StartedChildrenLeaveNoZombies) {
  std::vector<int> pids;
  for (int i = 0; i < 50; ++i) {
    const Started s = start("/bin/true", {});
    ASSERT_TRUE(s.ok) << s.error;
    pids.push_back(s.pid);
  }
  // A reaped child leaves /proc; an unreaped one stays there as a zombie.
  const auto all_gone = [&] {
    for (int pid : pids) {
      if (proc_state(pid) != 0) return false;
    }
    return true;
  };
  EXPECT_TRUE(eventually(all_gone));
  for (int pid : pids) EXPECT_EQ(proc_state(pid), 0) << "child " << pid;
}

TEST_F(ProcessTest, BackgroundReapingLeavesWaitedStatusAlone) {
  // Background children come and go while we wait for our own.
  auto waits = std::async(std::launch::async, [] {
    std::vector<std::optional<int>> codes;
    for (int i = 0; i < 20; ++i) codes.push_back(run_and_wait("/bin/sh", {"-c", "exit 7"}));
    return codes;
  });
  for (int i = 0; i < 40; ++i) ASSERT_TRUE(start("/bin/sh", {"-c", "exit 3"}).ok);
  for (const auto& code : waits.get()) EXPECT_EQ(code, 7);
}

TEST_F(ProcessTest, EndProcessNowFlushesOutputAndSkipsExitHandlers) {
  const fs::path out = dir_ / "stdout.txt";
  const fs::path marker = dir_ / "atexit-ran";
  static std::string marker_path;
  marker_path = marker.string();
  EXPECT_EXIT(
      {
        std::atexit([] { std::ofstream(marker_path) << "x"; });
        if (std::freopen(out.c_str(), "w", stdout) == nullptr) std::abort();
        std::printf("Ende ohne Zeilenumbruch");  // still in the buffer
        end_process_now(3);
      },
      ::testing::ExitedWithCode(3), "");
  EXPECT_EQ(get(out), "Ende ohne Zeilenumbruch");
  EXPECT_FALSE(fs::exists(marker));
}

}  // namespace
}  // namespace orvex::process

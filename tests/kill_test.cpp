// No job is lost when the dispatcher is killed at any moment: SIGKILL at seeded random moments,
// restart, and at the end every job is in exactly one place. ORVEX_KILLS, ORVEX_KILL_SEED and
// ORVEX_KILL_MAX_DELAY_MS change the run (bench/dispatch/kill_long runs a longer one).
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <iostream>
#include <thread>

#include "e2e_support.h"

namespace orvex::e2e {
namespace {

namespace fs = std::filesystem;
using Places = std::vector<std::string>;

int env_int(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && *v != '\0' ? std::atoi(v) : fallback;
}

// The jobs written so far and where each must end.
struct Ledger {
  std::map<std::string, Places> expected;
  int next = 1;

  // A batch in the proportions of a working day: mostly plain jobs, a multi-address job,
  // a recipient not on the whitelist, one the server refuses.
  void add_batch(const Root& root, int size) {
    for (int i = 0; i < size; ++i, ++next) {
      char order[8];
      std::snprintf(order, sizeof order, "%06d", next);
      const std::string name = std::string("Brief_2024-05-17_") + order + "_1.ausg";
      const std::string sent = std::string("gesendet/") + order + "/Brief";
      const std::string pdf = "|||Betreff " + std::string(order) + "|||Text|||" + demo::form_pdf_winpath();
      if (next % 10 == 3) {
        demo::write_job(root.layout(), name, "{k" + std::to_string(next) + "a@example.org,k" +
                                                 std::to_string(next) + "b@example.org}" + pdf);
        expected[name] = {"Ausgang/Archiv"};
        expected[name.substr(0, name.size() - 5) + "-1.ausg"] = {sent};
        expected[name.substr(0, name.size() - 5) + "-2.ausg"] = {sent};
      } else if (next % 10 == 6) {
        demo::write_job(root.layout(), name, "fremd" + std::to_string(next) + "@example.com" + pdf);
        expected[name] = {"Ausgang/quarantine"};
      } else if (next % 20 == 9) {
        demo::write_job(root.layout(), name, "abgelehnt@example.org" + pdf);
        expected[name] = {"Ausgang/failure"};
      } else {
        demo::write_job(root.layout(), name, "k" + std::to_string(next) + "@example.org" + pdf);
        expected[name] = {sent};
      }
    }
  }
};

int jobs_in_outbox(const Root& root) {
  int n = 0;
  for (const auto& e : fs::directory_iterator(root.outbox())) n += e.path().extension() == ".ausg";
  return n;
}

TEST(Kill, NoJobIsLostOrFiledTwice) {
  const int kills_wanted = env_int("ORVEX_KILLS", 200);
  const unsigned seed = static_cast<unsigned>(env_int("ORVEX_KILL_SEED", 4711));
  const int max_delay_ms = env_int("ORVEX_KILL_MAX_DELAY_MS", 400);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> delay_ms(0, max_delay_ms);

  auto server = start_server({"abgelehnt@example.org"});
  Root root;
  demo::Server settings;
  settings.port = server->port();
  demo::make_root(root.layout(), settings, {}, {});
  // Whitelist: every "k...@example.org" and the refused address; "fremd..." stays out.
  std::string whitelist;
  for (int i = 1; i <= 3000; ++i) {
    const std::string n = std::to_string(i);
    whitelist += "k" + n + "@example.org,\r\nk" + n + "a@example.org,\r\nk" + n + "b@example.org,\r\n";
  }
  std::ofstream(root.cmail_dir() / "WhiteList.mad") << whitelist << "abgelehnt@example.org,\r\n";
  root.install_cmail();

  Ledger ledger;
  ledger.add_batch(root, 30);
  const fs::path out = root.layout().root / "runs.out";
  int kills = 0, finished = 0;
  while (kills < kills_wanted) {
    // Keep work in the outbox so that kills land in sending, filing and logging.
    if (jobs_in_outbox(root) < 10) ledger.add_batch(root, 20);
    const pid_t pid = root.start({"--once"}, out);
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms(rng)));
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) {
      ++kills;
    } else {
      ++finished;
      // Ended by itself: a complete round (0) or one that got no answer in time (1).
      ASSERT_TRUE(WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 1)
          << "exit " << WEXITSTATUS(status) << "\n" << read_text(out).substr(0, 20000);
    }
  }

  // Run to completion.
  for (int i = 0; i < 10 && jobs_in_outbox(root) > 0; ++i) {
    const RunResult run = root.run();
    ASSERT_TRUE(run.exit_code == 0 || run.exit_code == 1) << run.output;
  }
  EXPECT_EQ(jobs_in_outbox(root), 0);

  const auto places = root.job_places();
  for (const auto& [name, where] : ledger.expected) {
    auto found = places.find(name);
    EXPECT_TRUE(found != places.end()) << name << " is lost";
    if (found != places.end()) {
      EXPECT_EQ(found->second, where) << name;
    }
  }
  for (const auto& [name, where] : places)
    EXPECT_TRUE(ledger.expected.count(name)) << "unknown job " << name << " in " << where[0];

  // Other dBase readers still read the log, and it holds at most one record per filed job.
  const auto rows = root.log_rows();
  EXPECT_LE(rows.size(), ledger.expected.size());
  std::cout << "kills " << kills << ", runs that ended by themselves " << finished << ", jobs "
            << ledger.expected.size() << ", log records " << rows.size() << ", seed " << seed << "\n";
}

}  // namespace
}  // namespace orvex::e2e

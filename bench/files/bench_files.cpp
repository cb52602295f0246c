// Listing a full outbox: 10,000 jobs must list in well under a second (target < 1 s).
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files/drives.h"
#include "platform/files/files.h"

namespace {

namespace fs = std::filesystem;

constexpr int kJobs = 10000;

// A data root with an outbox of kJobs jobs, removed when the program ends.
class Outbox {
 public:
  Outbox() {
    std::string tmpl = (fs::temp_directory_path() / "orvex-bench-XXXXXX").string();
    if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
    root_ = tmpl;
    const fs::path outbox = root_ / "CMail" / "Ausgang";
    fs::create_directories(outbox / "failure");
    for (int i = 0; i < kJobs; ++i) {
      char name[64];
      std::snprintf(name, sizeof name, "Sterbefall_2024-05-17_%06d_%d.ausg", i / 3, i % 3 + 1);
      std::ofstream(outbox / name) << "max.muster@example.de|||Formular|||Text|||C:\\XARV\\PDF\\" << i << ".pdf";
    }
    orvex::files::set_drive('C', root_);
  }
  ~Outbox() { fs::remove_all(root_); }

 private:
  fs::path root_;
};

void BM_ListOutbox(benchmark::State& state) {
  static Outbox outbox;
  for (auto _ : state) {
    auto jobs = orvex::files::list("C:\\CMAIL\\Ausgang\\*.ausg");
    if (jobs.size() != kJobs) {
      state.SkipWithError("outbox listing incomplete");
      break;
    }
    benchmark::DoNotOptimize(jobs);
  }
  state.SetItemsProcessed(state.iterations() * kJobs);
}
BENCHMARK(BM_ListOutbox)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

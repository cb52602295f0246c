// Table engine speed. Targets: append without commit >= 100,000 records/s;
// open a 1,000,000-record log table and go to its last record < 50 ms.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

#include "platform/table/dbf.h"
#include "platform/table/ntx.h"

namespace fs = std::filesystem;
using namespace orvex::table;

namespace {

const std::vector<FieldDef> kLogSchema = {
    {"AUFTRNR", 'C', 6, 0}, {"ART", 'C', 1, 0},       {"DATUM", 'C', 10, 0},
    {"ZEIT", 'C', 8, 0},    {"FORMULAR", 'C', 50, 0}, {"ADRESSE", 'C', 50, 0},
};

fs::path fresh_dir() {
  char tmpl[] = "/tmp/orvex-bench-table-XXXXXX";
  return mkdtemp(tmpl);
}

void fill_log(Dbf& t, long i) {
  t.put("AUFTRNR", std::to_string(i % 1000000));
  t.put("ART", "M");
  t.put("DATUM", "09.12.24");
  t.put("ZEIT", "12:34:56");
  t.put("FORMULAR", "Auftragsbestätigung");
  t.put("ADRESSE", "müller@example.de");
}

void BM_AppendWithoutCommit(benchmark::State& state) {
  fs::path dir = fresh_dir();
  Dbf::create(dir / "LOG", kLogSchema);
  auto t = Dbf::open(dir / "LOG", OpenMode::Shared);
  long i = 0;
  for (auto _ : state) {
    if (!t->append_blank()) state.SkipWithError("append refused");
    fill_log(*t, i++);
  }
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(i), benchmark::Counter::kIsRate);
  t.reset();
  fs::remove_all(dir);
}
// Real time: the machine is shared, and fdatasync waits rather than computes.
BENCHMARK(BM_AppendWithoutCommit)->UseRealTime();

void BM_AppendWithCommit(benchmark::State& state) {
  fs::path dir = fresh_dir();
  Dbf::create(dir / "LOG", kLogSchema);
  auto t = Dbf::open(dir / "LOG", OpenMode::Shared);
  long i = 0;
  for (auto _ : state) {
    if (!t->append_blank()) state.SkipWithError("append refused");
    fill_log(*t, i++);
    t->commit();
  }
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(i), benchmark::Counter::kIsRate);
  t.reset();
  fs::remove_all(dir);
}
BENCHMARK(BM_AppendWithCommit)->UseRealTime();

// Built once and kept in /tmp: writing a million records through the engine is the slow part.
fs::path million_record_log() {
  fs::path file = "/tmp/orvex-bench-log-1m.dbf";
  constexpr std::uint32_t kRecords = 1'000'000;
  if (fs::exists(file)) {
    auto t = Dbf::open(file, OpenMode::Shared, true);
    if (t && t->record_count() == kRecords) return file;
    t.reset();
    fs::remove(file);
  }
  Dbf::create(file, kLogSchema);
  std::string bytes;
  {
    std::ifstream in(file, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  bytes.pop_back();  // end mark
  std::string record = " " + std::string(125, ' ');
  record.replace(7, 1, "M");
  for (std::uint32_t i = 1; i <= kRecords; ++i) {
    char nr[8];
    std::snprintf(nr, sizeof nr, "%-6u", i % 1000000);
    record.replace(1, 6, nr, 6);
    bytes += record;
  }
  bytes.push_back('\x1A');
  for (int k = 0; k < 4; ++k) bytes[4 + static_cast<std::size_t>(k)] = static_cast<char>(kRecords >> (8 * k));
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  return file;
}

void BM_OpenMillionGoBottom(benchmark::State& state) {
  fs::path file = million_record_log();
  for (auto _ : state) {
    auto t = Dbf::open(file, OpenMode::Shared);
    t->go_bottom();
    benchmark::DoNotOptimize(t->get("AUFTRNR"));
    if (t->recno() != 1'000'000) state.SkipWithError("wrong last record");
  }
}
BENCHMARK(BM_OpenMillionGoBottom)->Unit(benchmark::kMillisecond);

void BM_NtxSeek(benchmark::State& state) {
  fs::path dir = fresh_dir();
  constexpr long kKeys = 100'000;
  std::vector<std::pair<std::string, std::uint32_t>> keys;
  auto key = [](long n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%6ld", n);
    return std::string(buf);
  };
  for (long i = 1; i <= kKeys; ++i) keys.emplace_back(key(i), static_cast<std::uint32_t>(i));
  Ntx::write(dir / "XAUFTRNR", "STR(AUFTRNR,6)", 6, keys);
  auto ntx = Ntx::open(dir / "XAUFTRNR");
  std::mt19937 rng(1);
  std::uniform_int_distribution<long> pick(1, kKeys);
  for (auto _ : state) benchmark::DoNotOptimize(ntx->seek(key(pick(rng))));
  ntx.reset();
  fs::remove_all(dir);
}
BENCHMARK(BM_NtxSeek);

}  // namespace

BENCHMARK_MAIN();

// Loading the zip code table and looking names up. Uses the full table when
// this machine has it, else the sample table the build places beside jasokit.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "romanize/cp949.h"
#include "zipcode/zip_database.h"

using namespace jasokit::detail;  // the steps under test

namespace {

using jasokit::ZipDatabase;

std::string TablePath() {
  const std::string full = std::string(JASOKIT_TEST_DATA_DIR) + "/" + jasokit::kZipFileName;
  if (std::filesystem::exists(full)) return full;
  return std::string(JASOKIT_BINARY_DIR) + "/cli/" + jasokit::kZipFileName;
}

std::string Cp(const char* utf8) {
  std::string out;
  jasokit::Utf8ToCp949(utf8, out);
  return out;
}

// Resident set size in KiB, from /proc/self/status (0 where unavailable).
long ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 6, "VmRSS:") == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

// Registered first so that it runs in a fresh process, before any other
// benchmark has grown the heap: run it alone for a clean figure.
void BM_ZipLoadMemory(benchmark::State& state) {
  const std::string path = TablePath();
  for (auto _ : state) {
    const long before = ResidentKiB();
    auto* db = new ZipDatabase;
    db->Load(path);
    const long after = ResidentKiB();
    state.counters["records"] = static_cast<double>(db->size());
    state.counters["rss_added_MiB"] = static_cast<double>(after - before) / 1024.0;
    state.counters["image_MiB"] = static_cast<double>(ZipDatabaseSeam::ImageBytes(*db)) / (1024.0 * 1024.0);
    state.PauseTiming();
    delete db;
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ZipLoadMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ZipLoad(benchmark::State& state) {
  const std::string path = TablePath();
  std::size_t records = 0;
  for (auto _ : state) {
    auto* db = new ZipDatabase;
    db->Load(path);
    records = db->size();
    state.PauseTiming();
    delete db;
    state.ResumeTiming();
  }
  state.counters["records"] = static_cast<double>(records);
}
BENCHMARK(BM_ZipLoad)->Unit(benchmark::kMillisecond);

const ZipDatabase& LoadedTable() {
  static const ZipDatabase* db = [] {
    auto* d = new ZipDatabase;
    d->Load(TablePath());
    return d;
  }();
  return *db;
}

void FindAll(benchmark::State& state, const char* utf8) {
  const ZipDatabase& db = LoadedTable();
  const std::string name = Cp(utf8);
  long hits = 0;
  for (auto _ : state) {
    const auto range = db.FindAll(name);
    benchmark::DoNotOptimize(range);
    hits = static_cast<long>(std::distance(range.begin(), range.end()));
  }
  state.counters["hits"] = static_cast<double>(hits);
}
// Walks every hit, so the cost grows with their number. The counter shows
// how many the table at hand holds.
BENCHMARK_CAPTURE(FindAll, yeoksam_dong, "역삼동");
BENCHMARK_CAPTURE(FindAll, sinchon_dong, "신촌동");
BENCHMARK_CAPTURE(FindAll, jungang_dong, "중앙동");
BENCHMARK_CAPTURE(FindAll, nam_myeon, "남면");
BENCHMARK_CAPTURE(FindAll, long_po_box_name, "광화문우체국사서함");
BENCHMARK_CAPTURE(FindAll, no_hits, "없는이름동");

// The other lookups, once the table is sorted for them.
void FindPrefix(benchmark::State& state, const char* utf8) {
  const ZipDatabase& db = LoadedTable();
  const std::string prefix = Cp(utf8);
  std::size_t hits = 0;
  for (auto _ : state) {
    auto records = db.FindPrefix(prefix);
    hits = records.size();
    benchmark::DoNotOptimize(records);
  }
  state.counters["hits"] = static_cast<double>(hits);
}
BENCHMARK_CAPTURE(FindPrefix, yeoksam, "역삼");
BENCHMARK_CAPTURE(FindPrefix, sin, "신");

void BM_FindZipCode(benchmark::State& state) {
  const ZipDatabase& db = LoadedTable();
  for (auto _ : state) {
    auto records = db.FindZipCode("135-080");
    benchmark::DoNotOptimize(records);
  }
}
BENCHMARK(BM_FindZipCode);

void BM_SuggestLocalities(benchmark::State& state) {
  const ZipDatabase& db = LoadedTable();
  const std::string name = Cp("역삼동");
  for (auto _ : state) {
    auto names = db.SuggestLocalities(name);
    benchmark::DoNotOptimize(names);
  }
}
BENCHMARK(BM_SuggestLocalities);

// Load and the first lookup by prefix, which sorts the table.
void BM_ZipLoadAndSort(benchmark::State& state) {
  const std::string path = TablePath();
  for (auto _ : state) {
    ZipDatabase db;
    db.Load(path);
    auto records = db.FindPrefix(Cp("역삼"));
    benchmark::DoNotOptimize(records);
  }
}
BENCHMARK(BM_ZipLoadAndSort)->Unit(benchmark::kMillisecond);

// Load and the first lookup by zip code, which sorts the records.
void BM_ZipLoadAndSortCodes(benchmark::State& state) {
  const std::string path = TablePath();
  for (auto _ : state) {
    ZipDatabase db;
    db.Load(path);
    auto records = db.FindZipCode("135-080");
    benchmark::DoNotOptimize(records);
  }
}
BENCHMARK(BM_ZipLoadAndSortCodes)->Unit(benchmark::kMillisecond);

void BM_ZipSearchLines(benchmark::State& state) {
  const ZipDatabase& db = LoadedTable();
  const std::string name = Cp("중앙동");
  for (auto _ : state) {
    auto lines = jasokit::FormatSearchLines(db, name);
    benchmark::DoNotOptimize(lines);
  }
}
BENCHMARK(BM_ZipSearchLines)->Unit(benchmark::kMicrosecond);

}  // namespace

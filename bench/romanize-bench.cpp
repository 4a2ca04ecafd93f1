#include <benchmark/benchmark.h>

#include "bench-data.h"
#include "romanize/hangul_romanizer.h"

using namespace jasokit::detail;  // the steps under test

namespace {

// Romanizes the place names round robin; freshEngine makes one engine per
// name, as each conversion request does.
void RomanizeNames(benchmark::State& state, bool freshEngine) {
  const auto names = jasokit::bench::PlaceNamesCp949();
  jasokit::HangulRomanizer shared;
  std::string out;
  std::size_t bytes = 0;
  std::size_t i = 0;
  for (auto _ : state) {
    const std::string& name = names[i];
    if (++i == names.size()) i = 0;
    jasokit::HangulRomanizer fresh;
    jasokit::HangulRomanizer& romanizer = freshEngine ? fresh : shared;
    romanizer.Romanize(name.c_str());
    romanizer.GetResult(out);
    benchmark::DoNotOptimize(out.data());
    bytes += name.size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.SetItemsProcessed(state.iterations());
  state.counters["names"] = static_cast<double>(names.size());
}

void BM_RomanizePlaceNames(benchmark::State& state) { RomanizeNames(state, false); }
BENCHMARK(BM_RomanizePlaceNames);

void BM_RomanizeFreshEngine(benchmark::State& state) { RomanizeNames(state, true); }
BENCHMARK(BM_RomanizeFreshEngine);

}  // namespace

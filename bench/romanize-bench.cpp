#include <benchmark/benchmark.h>

#include "bench-data.h"
#include "romanize/hangul_romanizer.h"

namespace {

void BM_RomanizePlaceNames(benchmark::State& state) {
  const auto names = jasokit::bench::PlaceNamesCp949();
  jasokit::HangulRomanizer romanizer;
  std::string out;
  std::size_t bytes = 0;
  std::size_t i = 0;
  for (auto _ : state) {
    const std::string& name = names[i];
    if (++i == names.size()) i = 0;
    romanizer.Romanize(name.c_str());
    romanizer.GetResult(out);
    benchmark::DoNotOptimize(out.data());
    bytes += name.size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.SetItemsProcessed(state.iterations());
  state.counters["names"] = static_cast<double>(names.size());
}
BENCHMARK(BM_RomanizePlaceNames);

// A fresh engine per name, as each conversion request makes one.
void BM_RomanizeFreshEngine(benchmark::State& state) {
  const auto names = jasokit::bench::PlaceNamesCp949();
  std::string out;
  std::size_t bytes = 0;
  std::size_t i = 0;
  for (auto _ : state) {
    const std::string& name = names[i];
    if (++i == names.size()) i = 0;
    jasokit::HangulRomanizer romanizer;
    romanizer.Romanize(name.c_str());
    romanizer.GetResult(out);
    benchmark::DoNotOptimize(out.data());
    bytes += name.size();
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RomanizeFreshEngine);

}  // namespace

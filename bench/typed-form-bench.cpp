// Official-style conversion of clean lines against the same addresses as
// people type them (codes in brackets, words run together, full-width
// digits, details joined), with and without the address data, in one run:
// compare the clean figures with those of an earlier build for the cost of
// the typed-form check, and messy with clean for the reader's.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench-data.h"
#include "jasokit/address_db.h"
#include "jasokit/address_db_builder.h"
#include "jasokit/convert.h"

namespace {

using namespace jasokit;

struct Lines {
  std::vector<std::string> clean, messy, source;
  std::string header;
};

// Korea Post's Gangnam rows when present, else a generated road.
const Lines& TheLines() {
  static const Lines lines = [] {
    Lines l;
    std::ifstream in(std::string(JASOKIT_TEST_DATA_DIR) + "/korea-post/seoul-gangnam-2023-part1.txt");
    std::string row;
    std::getline(in, l.header);
    while (std::getline(in, row)) {
      const std::vector<std::string> f = bench::SplitFields(row, '|');
      if (f.size() != 26) continue;
      l.source.push_back(row);
      const std::string number = (f[10] == "1" ? "지하" : "") + f[11] + (f[12] == "0" ? "" : "-" + f[12]);
      l.clean.push_back(f[1] + " " + f[3] + " " + f[8] + " " + number);
      switch (l.clean.size() % 4) {
        case 0: l.messy.push_back("[" + f[0] + "] " + l.clean.back()); break;
        case 1: l.messy.push_back(f[1] + f[3] + f[8] + number); break;
        case 2: l.messy.push_back(l.clean.back() + " 101동1203호"); break;
        default: l.messy.push_back("서울시 " + f[3] + " " + f[8] + number); break;
      }
    }
    if (l.clean.empty()) {
      for (int k = 1; k <= 2000; ++k) {
        l.clean.push_back("서울특별시 강남구 테헤란로 " + std::to_string(k));
        l.messy.push_back("서울특별시강남구테헤란로" + std::to_string(k));
      }
    }
    return l;
  }();
  return lines;
}

const AddressDatabase* Database() {
  static std::string image;
  static AddressDatabase db;
  static const bool open = [] {
    const Lines& l = TheLines();
    AddressDbBuilder builder;
    if (l.source.empty() || !builder.BeginText(l.header)) return false;
    for (std::size_t k = 0; k < l.source.size(); ++k) builder.AddLine(l.source[k], k + 2);
    builder.EndText("gangnam", "2023-12-05");
    std::ostringstream out;
    if (!builder.Write(out)) return false;
    image = out.str();
    return db.OpenBytes(image) == AddressDbStatus::Ok;
  }();
  return open ? &db : nullptr;
}

// range(0): 0 clean, 1 messy; range(1): 1 with the data.
void BM_OfficialTyped(benchmark::State& state) {
  const Lines& l = TheLines();
  const std::vector<std::string>& lines = state.range(0) ? l.messy : l.clean;
  Options options;
  options.style = Style::Official;
  options.database = state.range(1) ? Database() : nullptr;
  if (state.range(1) && options.database == nullptr) {
    state.SkipWithError("no Korea Post rows");
    return;
  }
  ConversionWorkspace workspace;
  Result r;
  std::size_t i = 0;
  for (auto _ : state) {
    workspace.Convert(lines[i], options, r);
    benchmark::DoNotOptimize(r);
    if (++i == lines.size()) i = 0;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.SetLabel(std::string(state.range(0) ? "messy" : "clean") + (state.range(1) ? ", data" : ", rules"));
}
BENCHMARK(BM_OfficialTyped)->Args({0, 0})->Args({1, 0})->Args({0, 1})->Args({1, 1});

}  // namespace

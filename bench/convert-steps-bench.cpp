// What each step of jasokit::Convert costs on short place names, the input of
// a batch such as the Python module's convert_many: every benchmark adds one
// step to the one before it, as Convert runs them, so the differences are
// the steps' costs (see bench/README.md, "Python module").
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

#include "address/address_converter.h"
#include "address/conversion.h"
#include "bench-data.h"
#include "jasokit/convert.h"
#include "romanize/cp949.h"
#include "romanize/hangul_romanizer.h"

using namespace jasokit;
using namespace jasokit::detail;  // the steps under test

namespace {

// UTF-8 locality, village and building names of zipcode-source.csv, else the
// built-in place names.
const std::vector<std::string>& Names() {
  static const std::vector<std::string> names = [] {
    std::vector<std::string> out;
    std::ifstream in(std::string(JASOKIT_TEST_DATA_DIR) + "/zipcode-source.csv");
    std::string row;
    while (std::getline(in, row)) {
      const std::vector<std::string> f = bench::SplitFields(row, ',');
      for (std::size_t i = 3; i < f.size() && i < 6; ++i) {
        if (!f[i].empty()) out.push_back(f[i]);
      }
    }
    if (out.empty()) {
      for (const std::string& cp949 : bench::PlaceNamesCp949()) {
        std::string utf8;
        Cp949ToUtf8(cp949, utf8);
        out.push_back(utf8);
      }
    }
    return out;
  }();
  return names;
}

template <typename Step>
void Run(benchmark::State& state, Step step) {
  const std::vector<std::string>& names = Names();
  for (auto _ : state) {
    for (const std::string& name : names) benchmark::DoNotOptimize(step(name));
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * names.size()));
}

thread_local PrivateText g_text;

std::string Normalized(const std::string& name) {
  Utf8ToPrivate(name, g_text);
  return NormalizeWhitespace(TrimWhitespace(g_text.bytes));
}

void BM_1_Utf8ToPrivate(benchmark::State& state) {
  Run(state, [](const std::string& n) { return Utf8ToPrivate(n, g_text); });
}
void BM_2_TrimNormalize(benchmark::State& state) {
  Run(state, [](const std::string& n) { return Normalized(n).size(); });
}
void BM_3_AddressConverter(benchmark::State& state) {
  Run(state, [](const std::string& n) {
    const std::string s = Normalized(n);
    AddressConverter converter;
    ConverterAccess::Reset(converter, true);
    converter.SetInput(s);
    return converter.Recognize();
  });
}
void BM_4_HangulRomanizer(benchmark::State& state) {
  Run(state, [](const std::string& n) {
    const std::string s = Normalized(n);
    HangulRomanizer engine;
    EngineAccess::UsePrivateCodes(engine);
    engine.Romanize(s);
    std::string out;
    engine.GetResult(out);
    return out.size();
  });
}
void BM_4_HangulRomanizerReused(benchmark::State& state) {
  HangulRomanizer engine;
  EngineAccess::UsePrivateCodes(engine);
  std::string out;
  Run(state, [&](const std::string& n) {
    engine.Romanize(Normalized(n));
    engine.GetResult(out);
    return out.size();
  });
}
void BM_5_ConvertBytes(benchmark::State& state) {
  Run(state, [](const std::string& n) {
    Utf8ToPrivate(n, g_text);
    return ConvertBytes(g_text.bytes, Options{}, true, "").output.size();
  });
}
void BM_6_ConvertBytesToUtf8(benchmark::State& state) {
  Run(state, [](const std::string& n) {
    Utf8ToPrivate(n, g_text);
    const Result r = ConvertBytes(g_text.bytes, Options{}, true, "");
    std::string normalized, output;
    PrivateToUtf8(r.normalized, g_text.characters, normalized);
    PrivateToUtf8(r.output, g_text.characters, output);
    return normalized.size() + output.size();
  });
}
void BM_7_Convert(benchmark::State& state) {
  Run(state, [](const std::string& n) { return Convert(n).output.size(); });
}
void BM_7_ConvertOfficial(benchmark::State& state) {
  Run(state, [](const std::string& n) { return Convert(n, Options{Style::Official, ""}).output.size(); });
}

// What a batch (convert_many) does: the output only, into one buffer.
void BM_8_AppendConvertedUtf8(benchmark::State& state) {
  std::string out;
  Run(state, [&](const std::string& n) {
    out.clear();
    AppendConvertedUtf8(n, Options{}, out);
    return out.size();
  });
}

}  // namespace

BENCHMARK(BM_1_Utf8ToPrivate);
BENCHMARK(BM_2_TrimNormalize);
BENCHMARK(BM_3_AddressConverter);
BENCHMARK(BM_4_HangulRomanizer);
BENCHMARK(BM_4_HangulRomanizerReused);
BENCHMARK(BM_5_ConvertBytes);
BENCHMARK(BM_6_ConvertBytesToUtf8);
BENCHMARK(BM_7_Convert);
BENCHMARK(BM_7_ConvertOfficial);
BENCHMARK(BM_8_AppendConvertedUtf8);

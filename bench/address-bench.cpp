// Address conversion throughput on real address lines (province, district,
// locality, village, building and lot of every source row) when the source
// list is present, otherwise on a generated set of the same shape.
#include <benchmark/benchmark.h>

#include <fstream>
#include <string>
#include <vector>

#include "address/address_converter.h"
#include "address/conversion.h"
#include "bench-data.h"
#include "romanize/cp949.h"

using namespace jasokit::detail;  // the steps under test

namespace {

using namespace jasokit;

// UTF-8 address lines from zipcode-source.csv; empty if it is absent.
std::vector<std::string> SourceLines() {
  std::vector<std::string> lines;
  std::ifstream in(std::string(JASOKIT_TEST_DATA_DIR) + "/zipcode-source.csv");
  std::string row;
  while (std::getline(in, row)) {
    if (row.compare(0, 3, "\xEF\xBB\xBF") == 0) row.erase(0, 3);
    if (!row.empty() && row.back() == '\r') row.pop_back();
    const std::vector<std::string> f = bench::SplitFields(row, ',');
    if (f.size() < 7) continue;
    std::string line;
    for (std::size_t i = 1; i <= 6; ++i) {  // province .. lot
      if (f[i].empty()) continue;
      if (!line.empty()) line += ' ';
      line += f[i];
    }
    lines.push_back(line);
  }
  return lines;
}

// A stand-in of the same shape when the real list is missing.
std::vector<std::string> GeneratedLines() {
  const char* regions[] = {"서울", "부산광역시", "경기도", "경상남도", "강원", "대구"};
  const char* districts[] = {"강남구", "해운대구", "성남시", "함안군", "홍천군", "중구"};
  const char* localities[] = {"역삼동", "우동", "분당구", "가야읍", "서석면", "동인동1가"};
  const char* details[] = {"말산리 123", "현대아파트 101동", "정자동 1", "중앙사서함 12", "삼성빌딩 5층", "123-45"};
  std::vector<std::string> lines;
  for (int i = 0; i < 50000; ++i) {
    lines.push_back(std::string(regions[i % 6]) + " " + districts[(i / 6) % 6] + " " + localities[(i / 36) % 6] + " " +
                    details[(i / 216) % 6]);
  }
  return lines;
}

const std::vector<std::string>& AddressLines() {
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> utf8 = SourceLines();
    if (utf8.empty()) utf8 = GeneratedLines();
    std::vector<std::string> cp949;
    cp949.reserve(utf8.size());
    for (const std::string& l : utf8) {
      cp949.emplace_back();
      Utf8ToCp949(l, cp949.back());
    }
    return cp949;
  }();
  return lines;
}

const std::vector<std::string>& AddressLinesUtf8() {
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> utf8;
    for (const std::string& l : AddressLines()) {
      utf8.emplace_back();
      Cp949ToUtf8(l, utf8.back());
    }
    return utf8;
  }();
  return lines;
}

// The CP949 request; the argument is the style.
void BM_ConvertInputAddresses(benchmark::State& state) {
  const std::vector<std::string>& lines = AddressLines();
  const Options options{static_cast<Style>(state.range(0)), ""};
  std::size_t i = 0;
  for (auto _ : state) {
    Result r = ConvertInput(lines[i], options);
    benchmark::DoNotOptimize(r);
    if (++i == lines.size()) i = 0;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.SetLabel(std::string(StyleName(options.style)) + ", " + std::to_string(lines.size()) + " lines");
}
BENCHMARK(BM_ConvertInputAddresses)->Arg(static_cast<int>(Style::Classic))->Arg(static_cast<int>(Style::Official));

// The UTF-8 request as the command line and the Python module's batch make
// it: the output only, no address fields.
void BM_ConvertUtf8Addresses(benchmark::State& state) {
  const std::vector<std::string>& lines = AddressLinesUtf8();
  const Options options{static_cast<Style>(state.range(0)), ""};
  std::size_t i = 0;
  for (auto _ : state) {
    Result r = ConvertUtf8(lines[i], options, nullptr, false);
    benchmark::DoNotOptimize(r);
    if (++i == lines.size()) i = 0;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.SetLabel(std::string(StyleName(options.style)));
}
BENCHMARK(BM_ConvertUtf8Addresses)->Arg(static_cast<int>(Style::Classic))->Arg(static_cast<int>(Style::Official));

// The converter alone: tokenise, recognise, render.
void BM_AddressConverter(benchmark::State& state) {
  const std::vector<std::string>& lines = AddressLines();
  char buffer[kOutputBufferBytes + 1];
  std::size_t i = 0;
  for (auto _ : state) {
    AddressConverter converter;
    converter.SetInput(lines[i].c_str());
    if (converter.Recognize()) converter.Render(buffer);
    benchmark::DoNotOptimize(buffer);
    if (++i == lines.size()) i = 0;
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_AddressConverter);

}  // namespace

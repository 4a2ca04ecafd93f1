// The HTTP service's batch path without HTTP: reading a body of 10,000
// addresses, and reading and converting it, per address.
#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "address/conversion.h"
#include "service/batch_request.h"
#include "service/http_api.h"
#include "frontend/json.h"

namespace {

using namespace jasokit::cli;

// 10,000 official-style addresses: the rows of the full zip code source
// when it is present, joined as bench/serve-load.sh joins them for its
// POSTs; else the sample table's names with a number.
std::vector<std::string> BatchTexts() {
  std::ifstream full(JASOKIT_TEST_DATA_DIR "/zipcode-source.csv");
  std::ifstream sample(JASOKIT_SOURCE_DIR "/data/zipcode-sample.csv");
  std::istream& in = full ? static_cast<std::istream&>(full) : sample;
  std::string line;
  std::vector<std::string> texts;
  while (std::getline(in, line)) {
    if (line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    if (line.compare(0, 8, "zipcode,") == 0) continue;  // the sample's header
    std::string text;
    std::stringstream fields(line);
    std::string field;
    std::getline(fields, field, ',');  // zip code
    for (int k = 0; k < 6 && std::getline(fields, field, ','); ++k) {
      if (!field.empty()) text += (text.empty() ? "" : " ") + field;
    }
    texts.push_back(full ? text : text + " 12");
  }
  return texts;
}

std::string BatchBody() {
  const std::vector<std::string> texts = BatchTexts();
  std::string body = "{\"style\":\"official\",\"texts\":[";
  for (std::size_t i = 0; i < kMaxBatchTexts; ++i) {
    body += (i ? ",\"" : "\"") + texts[i % texts.size()] + "\"";
  }
  return body + "]}";
}

void BM_ReadBatch(benchmark::State& state) {
  const std::string body = BatchBody();
  BatchRequest request;
  std::string error;
  for (auto _ : state) {
    ParseBatchRequest(body, kMaxBatchTexts, request, error);
    std::string_view last = request.texts[request.texts.size() - 1];
    benchmark::DoNotOptimize(last);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kMaxBatchTexts));
}
BENCHMARK(BM_ReadBatch)->Unit(benchmark::kMillisecond);

// Arg: threads the batch is split over.
void BM_ConvertBatch(benchmark::State& state) {
  const std::string body = BatchBody();
  const HttpApi api(nullptr, static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(api.ConvertBatch(body).body.size());
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kMaxBatchTexts));
}
BENCHMARK(BM_ConvertBatch)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

namespace {

// Conversion and JSON alone, for comparison.
void BM_ConvertTexts(benchmark::State& state) {
  BatchRequest request;
  std::string error;
  ParseBatchRequest(BatchBody(), kMaxBatchTexts, request, error);
  jasokit::Options options;
  options.style = jasokit::Style::Official;
  std::string out;
  for (auto _ : state) {
    out.clear();
    for (std::size_t i = 0; i < request.texts.size(); ++i) {
      AppendResultJson(jasokit::detail::ConvertUtf8(request.texts[i], options, nullptr, true), out);
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kMaxBatchTexts));
}
BENCHMARK(BM_ConvertTexts)->Unit(benchmark::kMillisecond);

}  // namespace

// The address database: open, one building lookup, and official conversion
// with and without it, in the same run. The database is JASOKIT_BENCH_ADDRDB
// (bench/addrdb-bench.sh builds the national-size one) or the sample beside
// the programs; the addresses are its own buildings, as users type them.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "addrdb/address_db_reader.h"
#include "address/address_match.h"
#include "bench-data.h"
#include "jasokit/address_db.h"
#include "jasokit/convert.h"
#include "jasokit/cp949.h"

namespace {

using namespace jasokit;

using bench::AddressDbPath;
const AddressDatabase& Db() { return bench::BenchAddressDb(); }

// "서울특별시 강남구 테헤란로 152" for up to 20,000 buildings spread over the data,
// in an order of their own (fixed from run to run): the rows are sorted by
// road, and neighbours on one road would share what a lookup finds.
const std::vector<std::string>& Addresses() {
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> out;
    const detail::DatabaseReader& db = *detail::AddressDatabaseSeam::Of(Db());
    const std::size_t rows = db.Count(detail::addrdb::kRows);
    const std::size_t step = rows / 20000 + 1;
    for (std::size_t i = 0; i < rows; i += step) {
      AddressMatch m;
      if (!db.Describe(static_cast<std::uint32_t>(i), m)) std::abort();
      const std::size_t named = m.building.empty() ? 0 : m.building.size() + 3;
      out.push_back(m.address.substr(0, m.address.size() - named));
    }
    std::mt19937 shuffle(20261208);
    std::shuffle(out.begin(), out.end(), shuffle);
    return out;
  }();
  return lines;
}

// "강남구 테헤란로": each address without its first and last words.
const std::vector<std::string>& NotAddresses() {
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> out;
    for (const std::string& line : Addresses()) {
      const std::size_t first = line.find(' '), last = line.rfind(' ');
      if (first < last) out.push_back(line.substr(first + 1, last - first - 1));
    }
    return out;
  }();
  return lines;
}

void BM_Open(benchmark::State& state) {
  const std::string path = AddressDbPath();
  for (auto _ : state) {
    AddressDatabase db;
    benchmark::DoNotOptimize(db.Open(path));
  }
}
BENCHMARK(BM_Open)->Unit(benchmark::kMicrosecond);

// One building found from the words of its address, as conversion asks.
void BM_BuildingLookup(benchmark::State& state) {
  std::vector<std::string> words;  // CP949, four per address: region, city, road, number
  for (const std::string& line : Addresses()) {
    std::string cp949;
    Utf8ToCp949(line, cp949);
    words.push_back(cp949);
  }
  struct Query {
    std::string region, city, road, number;
  };
  std::vector<Query> queries;
  for (const std::string& w : words) {
    const std::size_t a = w.find(' '), b = w.find(' ', a + 1), c = w.rfind(' ');
    // Region, city, road and number only.
    if (a == std::string::npos || b == std::string::npos || w.find(' ', b + 1) != c) continue;
    queries.push_back(
        {w.substr(0, a), w.substr(a + 1, b - a - 1), w.substr(b + 1, w.rfind(' ') - b - 1), w.substr(c + 1)});
  }
  std::size_t i = 0, found = 0;
  detail::DatabaseAnswer answer;
  detail::MatchScratch scratch;
  for (auto _ : state) {
    const Query& q = queries[i++ % queries.size()];
    detail::TypedAddress typed;
    std::string utf8;
    Cp949ToUtf8(q.region, utf8);
    typed.regionRoman = detail::addrdb::RegionRoman(utf8);
    typed.cities.push_back(q.city);
    typed.road = q.road;
    typed.number = q.number;
    found += detail::AnswerFromDatabase(Db(), typed, false, scratch, answer);
  }
  state.counters["found"] = static_cast<double>(found) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_BuildingLookup);

void Convert(benchmark::State& state, bool withDb) {
  Options options;
  options.style = Style::Official;
  if (withDb) options.database = &Db();
  const std::vector<std::string>& lines = Addresses();
  std::size_t i = 0, fromDb = 0;
  for (auto _ : state) {
    const Result r = jasokit::Convert(lines[i++ % lines.size()], options);
    fromDb += r.fields && r.fields->source == "database";
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
  state.counters["database"] = static_cast<double>(fromDb) / static_cast<double>(state.iterations());
}
void BM_ConvertOfficialRules(benchmark::State& state) { Convert(state, false); }
void BM_ConvertOfficialWithDb(benchmark::State& state) { Convert(state, true); }
BENCHMARK(BM_ConvertOfficialRules);
BENCHMARK(BM_ConvertOfficialWithDb);

double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// The rate with the database against that without, from batches of the same
// addresses converted in turn without and with it, so that a change of load
// on a shared machine touches both alike. rate_pct: with / without, in %.
// Argument 0: the text alone (what `jasokit convert` writes); 1: a Result
// with its fields (what --json and the window use); 2: the text alone of
// lines that are no address (the same addresses without their region and
// number, so that neither the rules nor the data place them).
void BM_ConvertOfficialRatio(benchmark::State& state) {
  const bool withFields = state.range(0) == 1;
  constexpr std::size_t kBatch = 200;
  Options rules;
  rules.style = Style::Official;
  Options withDb = rules;
  withDb.database = &Db();
  const std::vector<std::string>& lines = state.range(0) == 2 ? NotAddresses() : Addresses();
  ConversionWorkspace workspace;
  std::string out;
  std::size_t at = 0;
  double seconds[2] = {0, 0};
  for (auto _ : state) {
    for (int pass = 0; pass < 2; ++pass) {
      const Options& options = pass == 0 ? rules : withDb;
      const double start = ThreadSeconds();
      for (std::size_t k = 0; k < kBatch; ++k) {
        const std::string& line = lines[(at + k) % lines.size()];
        if (withFields) {
          benchmark::DoNotOptimize(jasokit::Convert(line, options).fields);
        } else {
          out.clear();
          workspace.AppendConverted(line, options, out);
          benchmark::DoNotOptimize(out.data());
        }
      }
      seconds[pass] += ThreadSeconds() - start;
    }
    at += kBatch;
  }
  const double addresses = static_cast<double>(state.iterations() * kBatch);
  state.counters["rules_ns"] = seconds[0] / addresses * 1e9;
  state.counters["db_ns"] = seconds[1] / addresses * 1e9;
  state.counters["rate_pct"] = 100.0 * seconds[0] / seconds[1];
}
BENCHMARK(BM_ConvertOfficialRatio)->Arg(0)->Arg(1)->Arg(2);

}  // namespace

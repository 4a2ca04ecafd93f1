// The address database: open, one building lookup, and official conversion
// with and without it, in the same run. The database is JASOKIT_BENCH_ADDRDB
// (bench/addrdb-bench.sh builds the national-size one) or the sample beside
// the programs; the addresses are its own buildings, as users type them.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "addrdb/address_db_reader.h"
#include "addrdb/address_match.h"
#include "jasokit/address_db.h"
#include "jasokit/convert.h"
#include "jasokit/cp949.h"

namespace {

using namespace jasokit;

std::string DbPath() {
  const char* env = std::getenv("JASOKIT_BENCH_ADDRDB");
  return env && *env ? env : JASOKIT_BINARY_DIR "/cli/address-sample.db";
}

const AddressDatabase& Db() {
  static const AddressDatabase db = [] {
    AddressDatabase d;
    if (d.Open(DbPath()) != AddressDbStatus::Ok) std::abort();
    return d;
  }();
  return db;
}

// "서울특별시 강남구 테헤란로 152" for up to 20,000 buildings spread over the data.
const std::vector<std::string>& Addresses() {
  static const std::vector<std::string> lines = [] {
    std::vector<std::string> out;
    const AddressDatabase::Impl& db = *Db().impl();
    const std::size_t rows = db.Count(detail::addrdb::kRows);
    const std::size_t step = rows / 20000 + 1;
    for (std::size_t i = 0; i < rows; i += step) {
      const AddressMatch m = db.Describe(static_cast<std::uint32_t>(i));
      const std::size_t named = m.building.empty() ? 0 : m.building.size() + 3;
      out.push_back(m.address.substr(0, m.address.size() - named));
    }
    return out;
  }();
  return lines;
}

void BM_Open(benchmark::State& state) {
  const std::string path = DbPath();
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
  for (auto _ : state) {
    const Query& q = queries[i++ % queries.size()];
    detail::TypedAddress typed;
    std::string utf8;
    Cp949ToUtf8(q.region, utf8);
    typed.regionRoman = detail::addrdb::RegionRoman(utf8);
    typed.cities.push_back(q.city);
    typed.road = q.road;
    typed.number = q.number;
    found += detail::AnswerFromDatabase(Db(), typed, false, answer);
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

}  // namespace

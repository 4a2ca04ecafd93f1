// The ranked search, one benchmark per kind of query: the median and the
// 99th percentile of single queries (counters median_us, p99_us) over
// queries made from the database's own buildings, spread over the data,
// as users type them. The database is JASOKIT_BENCH_ADDRDB (the national
// size: bench/addrdb-bench.sh) or the sample beside the programs. With
// JASOKIT_BENCH_QUERIES=FILE it writes 20,000 queries of every kind, mixed,
// one a line, for timing a lookup process, and exits.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "addrdb/address_db_reader.h"
#include "addrdb/hangul_keys.h"
#include "bench-data.h"
#include "jasokit/address_db.h"

namespace {

using namespace jasokit;
using namespace jasokit::detail::addrdb;

using bench::AddressDbPath;
const AddressDatabase& Db() { return bench::BenchAddressDb(); }

enum Kind {
  kExact,
  kDetails,
  kRunTogether,
  kEnglish,
  kRoadPrefix,
  kLot,
  kBuilding,
  kDong,
  kPostcode,
  kInitials,
  kLayout,
  kSlip,
  kKinds
};
constexpr const char* kKindNames[kKinds] = {"exact",    "details", "run_together", "english",  "road_prefix", "lot",
                                            "building", "dong",    "postcode",     "initials", "layout",      "slip"};

// One syllable's vowel changed: a slip of one jamo.
std::string Slipped(std::string_view name) {
  std::vector<char32_t> units = CodePoints(name);
  for (char32_t& c : units) {
    if (c >= 0xAC00 && c <= 0xD7A3) {
      const unsigned s = c - 0xAC00, vowel = s / 28 % 21;
      c = 0xAC00 + (s - vowel * 28) + ((vowel + 4) % 21) * 28;
      break;
    }
  }
  std::string out;
  for (const char32_t c : units) AppendUtf8(c, out);
  return out;
}

struct Query {
  std::string text;
  std::string address;  // of the building it was made from
};

const std::vector<std::vector<Query>>& Queries() {
  static const std::vector<std::vector<Query>> queries = [] {
    std::vector<std::vector<Query>> out(kKinds);
    const detail::DatabaseReader& db = *detail::AddressDatabaseSeam::Of(Db());
    const std::size_t rows = db.Count(kRows);
    const std::size_t step = rows / 2000 + 1;
    for (std::size_t i = 0; i < rows; i += step) {
      const RowRecord row = *db.Row(i);
      const RoadRecord road = *db.Road(row.road);
      AddressMatch m;
      if (!db.Describe(static_cast<std::uint32_t>(i), m)) continue;
      const std::string name(db.Str(road.name));
      std::string number = (row.flags & kBasement ? "지하 " : "") + std::to_string(row.main);
      if (row.sub) number += "-" + std::to_string(row.sub);
      const std::string city(db.Str(road.city));
      const auto add = [&](Kind kind, std::string text) { out[kind].push_back({std::move(text), m.address}); };
      add(kExact, name + " " + number);
      add(kDetails, city + " " + name + " " + number + ", 101동 1203호");
      std::string glued = city + name + number;
      glued.erase(std::remove(glued.begin(), glued.end(), ' '), glued.end());
      add(kRunTogether, glued);
      add(kEnglish, m.english);
      const std::vector<char32_t> units = CodePoints(name);
      if (units.size() >= 3) {
        std::string prefix;
        for (std::size_t k = 0; k + 1 < units.size(); ++k) AppendUtf8(units[k], prefix);
        add(kRoadPrefix, prefix);
      }
      std::string dong(db.Str(row.ri != 0 ? row.ri : row.dong));
      add(kLot, city + " " + dong + " " + (row.flags & kMountain ? "산" : "") + std::to_string(row.lotMain) +
                    (row.lotSub ? "-" + std::to_string(row.lotSub) : "") + "번지");
      if (!m.building.empty()) add(kBuilding, m.building);
      add(kDong, dong);
      add(kPostcode, m.postcode);
      add(kInitials, InitialsOf(name) + " " + number);
      add(kLayout, ToKeyboardLayout(name + " " + number));
      // A slip that makes another road's name is no slip.
      const std::string slipped = Slipped(name);
      bool taken = false;
      db.ForRoadsNamed(slipped, [&](std::uint32_t, const RoadRecord&) { taken = true; });
      if (!taken) add(kSlip, slipped + " " + number);
    }
    std::mt19937 shuffle(20261209);
    for (auto& list : out) std::shuffle(list.begin(), list.end(), shuffle);
    return out;
  }();
  return queries;
}

void BM_Search(benchmark::State& state) {
  const std::vector<Query>& queries = Queries()[static_cast<std::size_t>(state.range(0))];
  if (queries.empty()) {
    state.SkipWithError("no queries of this kind");
    return;
  }
  std::vector<double> times;
  std::size_t i = 0, first = 0, top3 = 0;
  for (auto _ : state) {
    const Query& q = queries[i++ % queries.size()];
    const auto start = std::chrono::steady_clock::now();
    const AddressLookupResult r = Db().Lookup(q.text, 8);
    times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    benchmark::DoNotOptimize(r);
    for (std::size_t k = 0; k < r.matches.size() && k < 3; ++k) {
      if (r.matches[k].address != q.address) continue;
      first += k == 0;
      ++top3;
      break;
    }
  }
  std::sort(times.begin(), times.end());
  state.counters["median_us"] = times[times.size() / 2];
  state.counters["p99_us"] = times[std::min(times.size() - 1, times.size() * 99 / 100)];
  // How often the building the query was made from comes first, or among the first three.
  state.counters["first"] = static_cast<double>(first) / static_cast<double>(times.size());
  state.counters["top3"] = static_cast<double>(top3) / static_cast<double>(times.size());
  state.SetLabel(kKindNames[state.range(0)]);
}
BENCHMARK(BM_Search)->DenseRange(0, kKinds - 1)->Unit(benchmark::kMicrosecond);

// Writes the mixed queries before any benchmark runs, when asked.
const bool kWritten = [] {
  const char* path = std::getenv("JASOKIT_BENCH_QUERIES");
  if (!path || !*path) return false;
  std::ofstream out(path);
  const auto& all = Queries();
  for (std::size_t n = 0; n < 20000; ++n) {
    const auto& list = all[n % kKinds];
    if (!list.empty()) out << list[(n / kKinds) % list.size()].text << '\n';
  }
  std::exit(out ? 0 : 3);
}();

}  // namespace

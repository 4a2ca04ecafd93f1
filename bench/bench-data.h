#pragma once
// What the benchmarks read: Korean place names (the localities of the full
// zip code source when it is present, otherwise a built-in list), the
// address database, and lines split into fields.
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "jasokit/address_db.h"
#include "romanize/cp949.h"

namespace jasokit::bench {

// line's fields between each separator; a line without one is one field.
inline std::vector<std::string> SplitFields(const std::string& line, char separator) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = line.find(separator, start);
    fields.push_back(line.substr(start, at - start));
    if (at == std::string::npos) return fields;
    start = at + 1;
  }
}

// JASOKIT_BENCH_ADDRDB (the national size: bench/addrdb-bench.sh builds it)
// or the sample beside the programs.
inline std::string AddressDbPath() {
  const char* env = std::getenv("JASOKIT_BENCH_ADDRDB");
  return env && *env ? env : JASOKIT_BINARY_DIR "/cli/address-sample.db";
}

inline const AddressDatabase& BenchAddressDb() {
  static const AddressDatabase db = [] {
    AddressDatabase d;
    if (d.Open(AddressDbPath()) != AddressDbStatus::Ok) std::abort();
    return d;
  }();
  return db;
}

inline std::vector<std::string> PlaceNamesCp949() {
  std::vector<std::string> names;
  std::ifstream csv(std::string(JASOKIT_TEST_DATA_DIR) + "/zipcode-source.csv");
  std::string line;
  while (std::getline(csv, line)) {
    // zipcode,province,district,locality,...: the fourth column.
    const std::vector<std::string> f = SplitFields(line, ',');
    if (f.size() < 4) continue;
    std::string cp;
    Utf8ToCp949(f[3], cp);
    if (!cp.empty() && static_cast<unsigned char>(cp[0]) >= 0x80) names.push_back(cp);
  }
  if (names.empty()) {
    static const char* const kFallback[] = {
        "역삼동",  "삼성동", "청담동", "압구정동", "신사동", "논현동", "대치동", "개포동",
        "종로1가", "명륜동", "혜화동", "가야읍",   "말산리", "서석면", "언양읍", "해운대",
        "우동",    "중동",   "좌동",   "송정동",   "정자동", "서현동", "분당동", "수내동",
        "덕진동",  "금암동", "팔복동", "여의도동", "신길동", "독립문", "광화문", "읽어요",
    };
    for (const char* n : kFallback) {
      std::string cp;
      Utf8ToCp949(n, cp);
      names.push_back(cp);
    }
  }
  return names;
}

}  // namespace jasokit::bench

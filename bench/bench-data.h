#pragma once
// Korean place names for the benchmarks: the localities of the full zip code
// source when it is present, otherwise a built-in list.
#include <fstream>
#include <string>
#include <vector>

#include "romanize/cp949.h"

namespace jasokit::bench {

inline std::vector<std::string> PlaceNamesCp949() {
  std::vector<std::string> names;
  std::ifstream csv(std::string(JASOKIT_TEST_DATA_DIR) + "/zipcode-source.csv");
  std::string line;
  while (std::getline(csv, line)) {
    // zipcode,province,district,locality,...: the fourth column.
    std::size_t start = 0;
    for (int field = 0; field < 3 && start != std::string::npos; ++field) {
      start = line.find(',', start);
      if (start != std::string::npos) ++start;
    }
    if (start == std::string::npos) continue;
    const std::size_t end = line.find(',', start);
    std::string cp;
    Utf8ToCp949(line.substr(start, end == std::string::npos ? std::string::npos : end - start), cp);
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

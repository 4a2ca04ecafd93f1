#pragma once
// Small helpers shared by the test programs.
#include <string>
#include <string_view>

#include "romanize/cp949.h"

namespace jasokit::test {

// Test texts are written in UTF-8 and converted to CP949 like the program's own input.
inline std::string Cp(std::string_view utf8) {
  std::string out;
  Utf8ToCp949(utf8, out);
  return out;
}

inline std::string Utf8(std::string_view cp949) {
  std::string out;
  Cp949ToUtf8(cp949, out);
  return out;
}

inline std::string Repeat(std::string_view s, std::size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (std::size_t i = 0; i < n; ++i) out += s;
  return out;
}

}  // namespace jasokit::test

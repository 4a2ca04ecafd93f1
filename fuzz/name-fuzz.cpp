// RomanizeName on arbitrary bytes: no Hangul syllable survives, the options
// only rearrange or re-case what the default gives, and the same text gives
// the same result every time.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz-check.h"
#include "jasokit/name.h"

namespace {

using namespace jasokit;

bool HasSyllable(std::string_view utf8) {
  // U+AC00..U+D7A3 are EA B0 80 .. ED 9E A3 in UTF-8.
  for (std::size_t i = 0; i + 2 < utf8.size(); ++i) {
    const auto b0 = static_cast<unsigned char>(utf8[i]);
    const auto b1 = static_cast<unsigned char>(utf8[i + 1]);
    if ((b0 == 0xEA && b1 >= 0xB0) || b0 == 0xEB || b0 == 0xEC || (b0 == 0xED && b1 < 0x9E) ||
        (b0 == 0xED && b1 == 0x9E && static_cast<unsigned char>(utf8[i + 2]) <= 0xA3)) {
      if (b1 >= 0x80 && b1 <= 0xBF) return true;
    }
  }
  return false;
}

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

std::string WithoutHyphens(std::string text) {
  std::string out;
  for (char c : text) {
    if (c != '-') out += c;
  }
  return out;
}

bool Same(const NameResult& a, const NameResult& b) {
  return a.isName == b.isName && a.family == b.family && a.given == b.given && a.output == b.output &&
         a.surnameTable == b.surnameTable;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const NameResult plain = RomanizeName(text);
  FUZZ_CHECK(Same(plain, RomanizeName(text)));
  FUZZ_CHECK(!HasSyllable(plain.output) && !HasSyllable(plain.family) && !HasSyllable(plain.given));
  if (plain.isName) {
    FUZZ_CHECK(plain.output == plain.family + (plain.given.empty() ? "" : " ") + plain.given);
  } else {
    FUZZ_CHECK(plain.family.empty() && plain.given.empty());
  }

  NameOptions upper;
  upper.upper = true;
  FUZZ_CHECK(RomanizeName(text, upper).output == Upper(plain.output));

  NameOptions givenFirst;
  givenFirst.givenFirst = true;
  const NameResult swapped = RomanizeName(text, givenFirst);
  if (plain.isName && !plain.given.empty()) FUZZ_CHECK(swapped.output == plain.given + " " + plain.family);

  NameOptions hyphen;
  hyphen.hyphen = true;
  const NameResult hyphened = RomanizeName(text, hyphen);
  FUZZ_CHECK(WithoutHyphens(hyphened.output) == WithoutHyphens(plain.output));
  FUZZ_CHECK(hyphened.family == plain.family);

  NameOptions rr;
  rr.surnames = SurnameTable::Rr;
  const NameResult standard = RomanizeName(text, rr);
  FUZZ_CHECK(standard.isName == plain.isName && standard.given == plain.given);
  if (standard.isName) FUZZ_CHECK(standard.surnameTable == SurnameTable::Rr);
  return 0;
}

#pragma once
// The classic address converter's inner steps, named for its tests.
#include <string>
#include <string_view>
#include <vector>

#include "jasokit/address.h"
#include "jasokit/convert.h"

namespace jasokit::detail {

inline constexpr std::string_view kCountry = "S.KOREA";

// Where the walk over the tokens stands: which unit it expects next.
enum class AddressState : int {
  ExpectProvince = 0,
  ExpectSi = 1,
  ExpectProvinceGu = 2,
  ExpectLocality = 3,
  ExpectMetroCity = 4,
  ExpectMetroGu = 5,
  ExpectMetroLocality = 6,
  ExpectGun = 7,
  ExpectGunLocality = 8,
  Remainder = 9,
};

// Appends the romanization of name by the given engine to out (nothing for
// an empty name).
void RomanizeName(HangulRomanizer& romanizer, std::string_view name, std::string& out);

// Joins parts from last to first, each followed by one space, into buffer
// (kOutputBufferBytes + 1 bytes, NUL-terminated). Text that does not fit is
// cut at the last character boundary at or before kOutputBufferBytes.
void Render(const std::vector<std::string>& parts, char* buffer);

// Cuts text after its last whole character within limit bytes.
std::size_t CutAtCharacter(std::string_view text, std::size_t limit);

// Byte comparison, so a two-byte syllable is its last two bytes. The words
// are a few bytes long: a loop beats a call to memcmp.
inline bool EndsWith(std::string_view token, std::string_view word) {
  if (token.size() < word.size()) return false;
  const char* tail = token.data() + token.size() - word.size();
  for (std::size_t i = 0; i < word.size(); ++i) {
    if (tail[i] != word[i]) return false;
  }
  return true;
}

struct ConverterAccess {
  // Empties a converter for a new text, its engine reading private codes or not.
  static void Reset(AddressConverter& converter, bool privateCodes);
};

}  // namespace jasokit::detail

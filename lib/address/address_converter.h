#pragma once
// The classic address converter on CP949 text: recognises a postal address
// by its first word (a province or metropolitan city) and renders its words
// in reverse order, smallest unit first, ending in "S.KOREA". Inside the
// library only: the public calls are in jasokit/convert.h. Also its inner
// steps, named for its tests.
#include <string>
#include <string_view>
#include <vector>

#include "jasokit/convert.h"
#include "romanize/hangul_romanizer.h"

namespace jasokit {

namespace detail {
struct ConverterAccess;
}

class AddressConverter {
 public:
  // Splits a zero-terminated CP949 text at every space byte; an empty text
  // leaves the converter as it was.
  void SetInput(const char* text);
  // The same for a CP949 text that ends at its first NUL byte or its end.
  void SetInput(std::string_view text);
  // True if the first word names a province or metropolitan city; parts()
  // then holds one Roman component per word, "S.KOREA" first.
  bool Recognize();
  // Writes the components, last first, each followed by one space, into
  // buffer (kOutputBufferBytes + 1 bytes), NUL-terminated, cut at the last
  // character that fits.
  void Render(char* buffer) const;

  const std::vector<std::string>& parts() const { return m_parts; }
  const std::vector<std::string>& tokens() const { return m_tokens; }
  std::int32_t tokenCount() const { return static_cast<std::int32_t>(m_tokens.size()); }

 private:
  friend struct detail::ConverterAccess;

  // Appends R(name) + suffix as a new component.
  void AddUnitPart(std::string_view name, std::string_view suffix);
  void ClassifyRemainder(std::string_view token);

  std::vector<std::string> m_tokens;
  std::vector<std::string> m_parts;
  HangulRomanizer m_romanizer;
};

}  // namespace jasokit

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

#pragma once
// Recognises a Korean postal address by its first token and renders it as an
// English-order address ending in "S.KOREA".
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "romanize/hangul_romanizer.h"

namespace jasokit {

inline constexpr std::size_t kOutputBufferBytes = 1024;

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

// Romanizes one name with the given engine; empty for an empty name.
std::string RomanizeName(HangulRomanizer& romanizer, const std::string& name);

// Joins parts from last to first, each followed by one space, into buffer
// (kOutputBufferBytes + 1 bytes, NUL-terminated). Text that does not fit is
// cut at the last character boundary at or before kOutputBufferBytes.
void Render(const std::vector<std::string>& parts, char* buffer);

class AddressConverter {
 public:
  // Splits text (NUL-terminated CP949) at every space byte; an empty text
  // leaves the converter as it was.
  void SetInput(const char* text);
  // True if the first token names a province or metropolitan city; parts
  // then holds one Roman component per token (two for a two-word city form
  // share one), "S.KOREA" first.
  bool Recognize();
  void Render(char* buffer) const;

  const std::vector<std::string>& parts() const { return m_parts; }
  const std::vector<std::string>& tokens() const { return m_tokens; }
  std::int32_t tokenCount() const { return m_tokenCount; }

 private:
  // Appends the romanized name followed by suffix as a new part, reusing the
  // converter's engine and working copy.
  void AddRomanizedPart(std::string_view name, std::string_view suffix);
  // One remainder token: village, town or neighbourhood unit, building word,
  // or the whole token romanized.
  void ClassifyRemainder(std::string_view token);

  std::int32_t m_tokenCount = 0;
  std::vector<std::string> m_tokens;
  std::vector<std::string> m_parts;
  HangulRomanizer m_romanizer;
  std::string m_name;  // NUL-terminated working copy for the engine
};

}  // namespace jasokit

#pragma once
// The romanization engine on CP949 text: every Hangul syllable becomes Roman
// letters, with sound changes between neighbouring syllables; every other
// character passes through unchanged.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jasokit/export.h"
#include "jasokit/style.h"

namespace jasokit {

namespace detail {
struct SyllableRecord;
struct EngineAccess;
}  // namespace detail

class JASOKIT_API HangulRomanizer {
 public:
  explicit HangulRomanizer(Style style = Style::Classic);
  ~HangulRomanizer();
  HangulRomanizer(const HangulRomanizer&);
  HangulRomanizer& operator=(const HangulRomanizer&);
  HangulRomanizer(HangulRomanizer&&) noexcept;
  HangulRomanizer& operator=(HangulRomanizer&&) noexcept;

  // Romanizes a zero-terminated CP949 text, replacing the previous result;
  // returns the number of UTF-16 units processed. A text of more than 1024
  // units gives an empty result.
  std::uint16_t Romanize(const char* text);
  // The same for a CP949 text that ends at its first NUL byte or its end.
  std::uint16_t Romanize(std::string_view text);

  // Replaces out with the result in CP949, its first byte upper-cased if it
  // is a letter a-z; empty when the result would exceed 1024 bytes.
  void GetResult(std::string& out) const;

  Style style() const { return m_style; }

 private:
  friend struct detail::EngineAccess;
  void AppendResult(std::string& out) const;

  Style m_style;
  bool m_privateCodes = false;  // see detail::EngineAccess
  // Views into the letter table or into m_text: a syllable allocates nothing.
  std::vector<std::u16string_view> m_fragments;
  std::u16string m_text;
  std::vector<detail::SyllableRecord> m_records;  // scratch, reused
};

}  // namespace jasokit

#pragma once
// The romanization engine on CP949 text: every Hangul syllable becomes Roman
// letters, with sound changes between neighbouring syllables; every other
// character passes through unchanged. Inside the library only: the public
// calls are Romanize and RomanizeInput (jasokit/convert.h). Also its inner
// steps, named for its tests: one record per UTF-16 unit, jamo indices for
// each syllable, and the pair rule between neighbours.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jasokit/convert.h"
#include "jasokit/style.h"
#include "romanize/pair_rules.h"
#include "romanize/sound_tables.h"

namespace jasokit {

namespace detail {
struct SyllableRecord;
struct EngineAccess;
}  // namespace detail

class HangulRomanizer {
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

namespace jasokit::detail {

enum CharKind : std::int16_t { Syllable = 0, CompatibilityJamo = 1, Other = 2 };

// One per UTF-16 unit of the text; the default values stand for "no
// character" and serve as the end marker.
struct SyllableRecord {
  std::uint16_t initial = 0;
  std::uint16_t medial = 0;
  std::uint16_t final = 0;
  char16_t character = 0;
  std::int16_t kind = Other;
  std::int16_t initialCode = 0;
  std::int16_t vowelCode = 0;
  std::int16_t finalCode = 0;
  std::int16_t outputKind = Other;
  bool initialFixed = false;
};

inline constexpr char16_t kFirstSyllable = 0xAC00;
inline constexpr char16_t kLastSyllable = 0xD7A3;
inline constexpr int kMedialCount = 21;
inline constexpr int kFinalCount = 28;
inline constexpr int kSyllablesPerInitial = kMedialCount * kFinalCount;  // 588

// Limits of the conversion areas at entry (UTF-16 units) and exit (bytes).
inline constexpr std::size_t kMaxUnits = 1024;
inline constexpr std::size_t kMaxResultBytes = 1024;
static_assert(kMaxUnits == kMaxRomanizeUnits, "the public limit of Romanize is the engine's own");

CharKind Classify(char16_t unit);
SyllableRecord Decompose(char16_t unit);
void BuildRecords(std::u16string_view text, std::vector<SyllableRecord>& records);
bool IsPalatalVowel(std::uint16_t medial);
// The pair rule of the given style (classic when not named).
void ResolvePair(SyllableRecord& current, SyllableRecord& next, Style style = Style::Classic);

// The rules of a style as rows, for tests that walk them.
struct PairRuleTable {
  const PairRule* rows;
  std::size_t count;
};
PairRuleTable PairRulesOf(Style style);

// What the UTF-8 façade needs of engines beyond the CP949 interface.
struct EngineAccess {
  // Lets the engine read and write private codes (romanize/cp949.h) as
  // single characters, so that text outside CP949 passes through it whole.
  static void UsePrivateCodes(HangulRomanizer& engine) { engine.m_privateCodes = true; }
  static void SetPrivateCodes(HangulRomanizer& engine, bool on) { engine.m_privateCodes = on; }
  // GetResult appended to out instead of replacing it: nothing when the
  // result would exceed the limit.
  static void AppendResult(const HangulRomanizer& engine, std::string& out) { engine.AppendResult(out); }
};

}  // namespace jasokit::detail

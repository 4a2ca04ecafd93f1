#pragma once
// Hangul romanization engine: CP949 text in, Roman letters out (CP949).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "romanize/sound_tables.h"

namespace jasokit {

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

CharKind Classify(char16_t unit);
SyllableRecord Decompose(char16_t unit);
void BuildRecords(std::u16string_view text, std::vector<SyllableRecord>& records);
bool IsPalatalVowel(std::uint16_t medial);
void ResolvePair(SyllableRecord& current, SyllableRecord& next);

class HangulRomanizer {
 public:
  // Replaces the fragments with those of the zero-terminated CP949 text;
  // returns the number of UTF-16 units processed.
  std::uint16_t Romanize(const char* text);
  // Replaces out with the joined fragments in CP949, first byte capitalised;
  // empty when the CP949 form would exceed kMaxResultBytes.
  void GetResult(std::string& out) const;

 private:
  // Views into kSoundText or into m_text, so a syllable costs no allocation.
  std::vector<std::u16string_view> m_fragments;
  std::u16string m_text;                  // the decoded text the fragments may view
  std::vector<SyllableRecord> m_records;  // scratch, reused between calls
};

}  // namespace jasokit

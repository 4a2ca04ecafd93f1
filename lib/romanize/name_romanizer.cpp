#include <string>
#include <string_view>
#include <vector>

#include "jasokit/convert.h"
#include "jasokit/name.h"
#include "romanize/cp949.h"
#include "romanize/hangul_romanizer.h"
#include "romanize/sound_tables.h"
#include "tables/name_tables.h"

namespace jasokit {

namespace {

using detail::kFinalSoundCode;
using detail::kInitialSoundCode;
using detail::kSoundText;

// More syllables than this before any space is a sentence, not a name.
constexpr std::size_t kMaxNameSyllables = 5;

// One character of the text: its code point and its bytes as given.
struct NameChar {
  char32_t cp;
  std::string_view bytes;  // empty for invalid UTF-8, which becomes U+FFFD
};

bool IsSyllable(char32_t cp) { return cp >= detail::kFirstSyllable && cp <= detail::kLastSyllable; }
bool IsSpace(char32_t cp) { return cp == ' ' || cp == '\t'; }

// Marks that only steer the direction of text or join nothing (a name
// pasted from a right-to-left page or a form starts with one): dropped.
struct CodeRange {
  char32_t first;
  char32_t last;
};
constexpr CodeRange kInvisibleMarks[] = {
    {0x061C, 0x061C}, {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x2060}, {0x2066, 0x2069}, {0xFEFF, 0xFEFF},
};
// Spaces other than the ASCII one (no-break, ideographic, the typographic
// widths): read as a space.
constexpr CodeRange kOtherSpaces[] = {
    {0x00A0, 0x00A0}, {0x2000, 0x200A}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000},
};

template <std::size_t N>
bool InRanges(char32_t cp, const CodeRange (&ranges)[N]) {
  for (const CodeRange& r : ranges) {
    if (cp >= r.first && cp <= r.last) return true;
  }
  return false;
}

void Decode(std::string_view utf8, std::vector<NameChar>& out) {
  std::size_t i = 0;
  while (i < utf8.size()) {
    const std::size_t n = detail::ValidUtf8Length(utf8, i);
    if (n == 0) {
      out.push_back({detail::kReplacementChar, {}});
      ++i;
      continue;
    }
    const auto b0 = static_cast<unsigned char>(utf8[i]);
    char32_t cp = n == 1 ? b0 : b0 & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    if (InRanges(cp, kOtherSpaces)) {
      out.push_back({' ', " "});
    } else if (!InRanges(cp, kInvisibleMarks)) {
      out.push_back({cp, utf8.substr(i, n)});
    }
    i += n;
  }
}

void AppendSound(detail::SoundCode code, std::string& out) {
  for (char16_t c : kSoundText[code]) out += static_cast<char>(c);
}

// Names are written syllable by syllable: each syllable gets the letters it
// has standing alone, its final as at the end of a word. So no sound change
// between syllables is written (한복남 Han Boknam, not Bongnam), no final is
// carried over to the next syllable (이주은 Jueun, not June), and an initial
// ㄹ after a final keeps its own r, the two syllables written as if apart
// (한라 Hanra, 길례 Gilrye).
void AppendSyllable(char32_t cp, std::string& out) {
  const auto s = static_cast<std::uint32_t>(cp - detail::kFirstSyllable);
  AppendSound(kInitialSoundCode[s / detail::kSyllablesPerInitial], out);
  AppendSound(
      static_cast<detail::SoundCode>(detail::kSndFirstVowel + (s % detail::kSyllablesPerInitial) / detail::kFinalCount),
      out);
  AppendSound(kFinalSoundCode[s % detail::kFinalCount], out);
}

using Span = std::vector<NameChar>::const_iterator;

void AppendAsGiven(const NameChar& c, std::string& out) {
  if (c.bytes.empty()) {
    detail::AppendUtf8(detail::kReplacementChar, out);
  } else {
    out += c.bytes;
  }
}

// The letters of one part of the name, the first letter of its first
// syllable, and of the first after each space, upper-cased (홍 길 동 is
// Hong Gil Dong); other characters pass through.
void AppendPart(Span begin, Span end, bool hyphen, std::string& out) {
  bool previousSyllable = false;
  bool first = true;
  for (Span c = begin; c != end; ++c) {
    if (!IsSyllable(c->cp)) {
      AppendAsGiven(*c, out);
      previousSyllable = false;
      first = first || IsSpace(c->cp);
      continue;
    }
    if (hyphen && previousSyllable) out += '-';
    const std::size_t at = out.size();
    AppendSyllable(c->cp, out);
    if (first && out[at] >= 'a' && out[at] <= 'z') out[at] = static_cast<char>(out[at] - 'a' + 'A');
    first = false;
    previousSyllable = true;
  }
}

const detail::SurnameRow* FindCommonSurname(Span begin, Span end) {
  if (end - begin != 1) return nullptr;
  for (const detail::SurnameRow& row : detail::kCommonSurnames) {
    if (row.syllable == begin->cp) return &row;
  }
  return nullptr;
}

bool StartsWithTwoSyllableSurname(Span begin, Span end) {
  if (end - begin < 2) return false;
  for (const detail::TwoSyllableSurname& row : detail::kTwoSyllableSurnames) {
    if (row.first == begin[0].cp && row.second == begin[1].cp) return true;
  }
  return false;
}

void AppendFamily(Span begin, Span end, SurnameTable table, NameResult& result) {
  const detail::SurnameRow* row = table == SurnameTable::Common ? FindCommonSurname(begin, end) : nullptr;
  if (row) {
    result.family = row->spelling;
    result.surnameTable = SurnameTable::Common;
  } else {
    AppendPart(begin, end, false, result.family);
    result.surnameTable = SurnameTable::Rr;
  }
}

void ToUpper(std::string& text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
}

std::size_t CountSyllables(Span begin, Span end) {
  std::size_t n = 0;
  for (Span c = begin; c != end; ++c) n += IsSyllable(c->cp) ? 1 : 0;
  return n;
}

Span FindSpace(Span begin, Span end) {
  for (Span c = begin; c != end; ++c) {
    if (IsSpace(c->cp)) return c;
  }
  return end;
}

// Where the family name ends in a name written without a space: after a
// two-syllable family name that starts a name of three or more syllables
// (their bearers mostly have one-syllable given names, so 남궁민 is
// Namgung Min), else after the first syllable. A word that does not start
// with a syllable is no Korean name to split.
Span FamilyEndUnspaced(Span begin, Span end) {
  if (!IsSyllable(begin->cp)) return end;
  if (CountSyllables(begin, end) >= 3 && StartsWithTwoSyllableSurname(begin, end)) return begin + 2;
  return begin + 1;
}

}  // namespace

const char* SurnameTableName(SurnameTable table) { return table == SurnameTable::Common ? "common" : "rr"; }

bool ParseSurnameTable(std::string_view name, SurnameTable& table) {
  if (name == "common") {
    table = SurnameTable::Common;
  } else if (name == "rr") {
    table = SurnameTable::Rr;
  } else {
    return false;
  }
  return true;
}

NameResult RomanizeName(std::string_view utf8, const NameOptions& options) {
  utf8 = utf8.substr(0, utf8.find('\0'));
  std::vector<NameChar> chars;
  chars.reserve(utf8.size());
  Decode(utf8, chars);
  Span begin = chars.begin();
  Span end = chars.end();
  while (begin != end && IsSpace(begin->cp)) ++begin;
  while (end != begin && IsSpace((end - 1)->cp)) --end;
  const Span space = FindSpace(begin, end);
  NameResult result;
  if (begin == end || CountSyllables(begin, space) > kMaxNameSyllables) {
    result.output = Romanize(utf8, Style::Official);
    if (options.upper) ToUpper(result.output);
    return result;
  }
  const Span familyEnd = space != end ? space : FamilyEndUnspaced(begin, end);
  result.isName = true;
  AppendFamily(begin, familyEnd, options.surnames, result);
  Span givenBegin = familyEnd;
  while (givenBegin != end && IsSpace(givenBegin->cp)) ++givenBegin;
  AppendPart(givenBegin, end, options.hyphen, result.given);
  if (options.upper) {
    ToUpper(result.family);
    ToUpper(result.given);
  }
  const std::string& first = options.givenFirst ? result.given : result.family;
  const std::string& second = options.givenFirst ? result.family : result.given;
  result.output = first;
  if (!first.empty() && !second.empty()) result.output += ' ';
  result.output += second;
  return result;
}

}  // namespace jasokit

#include "romanize/hangul_romanizer.h"

#include <cstring>
#include <iterator>

#include "romanize/cp949.h"

namespace jasokit {

namespace detail {

namespace {

inline constexpr PairRuleIndex kClassicIndex = IndexPairRules(kClassicPairRules);
inline constexpr PairRuleIndex kOfficialIndex = IndexPairRules(kOfficialPairRules);

bool AlsoHolds(Also also, const SyllableRecord& cur, const SyllableRecord& next) {
  switch (also) {
    case Also::Nothing: return true;
    case Also::NextPalatal: return IsPalatalVowel(next.medial);
    case Also::NextAspiratesH:
      return (next.medial == kMedI && (next.final == kFinN || next.final == kFinL)) ||
             (next.medial == kMedYeo && next.final == kFinSs);
    case Also::CurrentIsDeol: return cur.initial == kIniD && cur.medial == kMedEo;
    case Also::NextVowelIOrEu: return next.medial == kMedI || next.medial == kMedEu;
  }
  return false;
}

// The first row for the current final whose condition holds; every final's
// rows end in one that always does.
const PairRule& FindRule(const PairRule* rules, const PairRuleIndex& index, const SyllableRecord& cur,
                         const SyllableRecord& next) {
  const InitialSet nextInitial = InitialSet{1} << next.initial;
  const std::size_t end = index.start[cur.final + 1];
  std::size_t row = index.start[cur.final];
  for (; row + 1 < end; ++row) {
    const PairRule& r = rules[row];
    if ((r.next & nextInitial) != 0 && AlsoHolds(r.also, cur, next)) return r;
  }
  return rules[row];
}

inline std::size_t EncodeUnit(char16_t unit, char* out, bool privateCodes) {
  if (unit < 0x80) {  // the letters
    out[0] = static_cast<char>(unit);
    return 1;
  }
  if (privateCodes && unit >= kPrivateUnitFirst && unit < kPrivateUnitFirst + kPrivateCodeCount) {
    const unsigned code = unit - kPrivateUnitFirst;
    out[0] = static_cast<char>(kPrivateLeadFirst + code / kPrivateTrailCount);
    out[1] = static_cast<char>(kPrivateTrailFirst + code % kPrivateTrailCount);
    return 2;
  }
  return EncodeCp949Unit(unit, out);
}

}  // namespace

CharKind Classify(char16_t unit) {
  if (unit >= kFirstSyllable && unit <= kLastSyllable) return Syllable;
  if (unit >= 0x3131 && unit <= 0x3163) return CompatibilityJamo;
  return Other;
}

SyllableRecord Decompose(char16_t unit) {
  SyllableRecord r;
  r.kind = Classify(unit);
  r.character = unit;
  if (r.kind == Syllable) {
    const unsigned s = unit - kFirstSyllable;
    r.initial = static_cast<std::uint16_t>(s / kSyllablesPerInitial);
    r.medial = static_cast<std::uint16_t>((s % kSyllablesPerInitial) / kFinalCount);
    r.final = static_cast<std::uint16_t>(s % kFinalCount);
  }
  return r;
}

void BuildRecords(std::u16string_view text, std::vector<SyllableRecord>& records) {
  records.resize(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) records[i] = Decompose(text[i]);
}

bool IsPalatalVowel(std::uint16_t medial) { return medial == kMedYeo || medial == kMedI; }

PairRuleTable PairRulesOf(Style style) {
  if (style == Style::Official) return {kOfficialPairRules, std::size(kOfficialPairRules)};
  return {kClassicPairRules, std::size(kClassicPairRules)};
}

void ResolvePair(SyllableRecord& current, SyllableRecord& next, Style style) {
  if (current.kind != Syllable) {
    current.outputKind = current.kind;
    return;
  }
  current.outputKind = 0;
  if (!current.initialFixed) current.initialCode = static_cast<std::int16_t>(kInitialSoundCode[current.initial]);
  current.vowelCode = static_cast<std::int16_t>(kSndFirstVowel + current.medial);
  if (next.kind != Syllable) {
    current.finalCode = static_cast<std::int16_t>(kFinalSoundCode[current.final]);
    return;
  }
  if (current.final == kFinNone) {
    current.finalCode = kSndNone;  // the next syllable's initial stays its own
    return;
  }
  const PairRule& rule = style == Style::Official ? FindRule(kOfficialPairRules, kOfficialIndex, current, next)
                                                  : FindRule(kClassicPairRules, kClassicIndex, current, next);
  current.finalCode = static_cast<std::int16_t>(rule.finalCode);
  next.initialCode =
      static_cast<std::int16_t>(rule.nextInitial == kKeepNext ? kInitialSoundCode[next.initial] : rule.nextInitial);
  next.initialFixed = true;
}

}  // namespace detail

using namespace detail;

HangulRomanizer::HangulRomanizer(Style style) : m_style(style) {}
HangulRomanizer::~HangulRomanizer() = default;

// The fragments may view m_text, so a copy or a move points them at its own.
HangulRomanizer::HangulRomanizer(const HangulRomanizer& other) { *this = other; }

HangulRomanizer& HangulRomanizer::operator=(const HangulRomanizer& other) {
  if (this == &other) return *this;
  m_style = other.m_style;
  m_privateCodes = other.m_privateCodes;
  m_text = other.m_text;
  m_records = other.m_records;
  m_fragments.clear();
  m_fragments.reserve(other.m_fragments.size());
  const char16_t* base = other.m_text.data();
  for (std::u16string_view f : other.m_fragments) {
    if (f.data() >= base && f.data() < base + other.m_text.size()) {
      m_fragments.push_back(std::u16string_view(m_text).substr(static_cast<std::size_t>(f.data() - base), f.size()));
    } else {
      m_fragments.push_back(f);
    }
  }
  return *this;
}

HangulRomanizer::HangulRomanizer(HangulRomanizer&& other) noexcept
    : m_style(other.m_style), m_privateCodes(other.m_privateCodes) {
  *this = std::move(other);
}

HangulRomanizer& HangulRomanizer::operator=(HangulRomanizer&& other) noexcept {
  if (this == &other) return *this;
  const char16_t* base = other.m_text.data();
  const std::size_t size = other.m_text.size();
  m_style = other.m_style;
  m_privateCodes = other.m_privateCodes;
  m_text = std::move(other.m_text);
  m_records = std::move(other.m_records);
  m_fragments = std::move(other.m_fragments);
  for (std::u16string_view& f : m_fragments) {
    if (f.data() >= base && f.data() < base + size) {
      f = std::u16string_view(m_text).substr(static_cast<std::size_t>(f.data() - base), f.size());
    }
  }
  other.m_fragments.clear();
  other.m_text.clear();
  return *this;
}

std::uint16_t HangulRomanizer::Romanize(const char* text) {
  return Romanize(text == nullptr ? std::string_view() : std::string_view(text, std::strlen(text)));
}

std::uint16_t HangulRomanizer::Romanize(std::string_view text) {
  m_fragments.clear();
  const std::size_t nul = text.find('\0');
  if (nul != std::string_view::npos) text = text.substr(0, nul);
  if (text.empty()) return 0;
  // A unit takes at most two bytes, so a longer text has too many units and
  // need not be decoded to be refused.
  if (text.size() > 2 * kMaxUnits) {
    m_text.clear();
    return 0;
  }
  DecodeCp949(text, m_text, m_privateCodes);
  if (m_text.size() > kMaxUnits) {
    m_text.clear();
    return 0;
  }
  BuildRecords(m_text, m_records);
  const std::size_t n = m_records.size();
  for (std::size_t i = 0; i + 1 < n; ++i) ResolvePair(m_records[i], m_records[i + 1], m_style);
  SyllableRecord endMarker;
  ResolvePair(m_records[n - 1], endMarker, m_style);

  m_fragments.reserve(n * 3);
  for (std::size_t i = 0; i < n; ++i) {
    const SyllableRecord& r = m_records[i];
    if (r.outputKind != 0) {
      m_fragments.push_back(std::u16string_view(m_text).substr(i, 1));
      continue;
    }
    if (r.initialCode != 0) m_fragments.push_back(kSoundText[r.initialCode]);
    m_fragments.push_back(kSoundText[r.vowelCode]);
    if (r.finalCode != 0) m_fragments.push_back(kSoundText[r.finalCode]);
  }
  return static_cast<std::uint16_t>(n);
}

void HangulRomanizer::GetResult(std::string& out) const {
  out.clear();
  AppendResult(out);
}

void HangulRomanizer::AppendResult(std::string& out) const {
  // Encoded into a buffer of its own first: one append, not one per letter.
  // The limit is checked after each fragment, and no fragment takes more
  // than kMaxFragmentBytes.
  constexpr std::size_t kMaxFragmentBytes = 3;  // "yae"; a character passed through takes 2
  char buf[kMaxResultBytes + kMaxFragmentBytes];
  std::size_t used = 0;
  for (std::u16string_view f : m_fragments) {
    for (char16_t u : f) used += EncodeUnit(u, buf + used, m_privateCodes);
    if (used > kMaxResultBytes) return;
  }
  if (used == 0) return;
  if (buf[0] >= 'a' && buf[0] <= 'z') buf[0] = static_cast<char>(buf[0] - 'a' + 'A');
  out.append(buf, used);
}

}  // namespace jasokit

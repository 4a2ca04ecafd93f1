#include "romanize/hangul_romanizer.h"

#include <cstring>

#include "romanize/cp949.h"

namespace jasokit {

namespace {

// Jamo indices named in the pair rule.
enum Initial : std::uint16_t {
  kIniG = 0, kIniN = 2, kIniD = 3, kIniR = 5, kIniM = 6, kIniB = 7, kIniIeung = 11,
  kIniJ = 12, kIniH = 18
};
enum Medial : std::uint16_t { kMedEo = 4, kMedYeo = 6, kMedEu = 18, kMedI = 20 };
enum Final : std::uint16_t { kFinN = 4, kFinL = 8, kFinSs = 20 };

struct PairOutcome {
  SoundCode finalCode;
  SoundCode nextInitial;  // kDefault: the next syllable's own default
};
inline constexpr SoundCode kDefault = 0xFFFF;

// The case table: one switch arm per final of the current syllable, lines in
// order, first match wins.
PairOutcome Resolve(const SyllableRecord& cur, const SyllableRecord& next) {
  const std::uint16_t ni = next.initial;
  const bool palatal = IsPalatalVowel(next.medial);
  switch (cur.final) {
    case 1:  // ㄱ
    case 2: {  // ㄲ
      const SoundCode own = cur.final == 1 ? 2 : 3;
      if (ni == kIniN) return {16, 4};
      if (ni == kIniM) return {16, 10};
      if (ni == kIniR) return {16, 4};
      if (ni == kIniIeung) return {0, static_cast<SoundCode>(cur.final == 1 ? 1 : 3)};
      if (ni == kIniH) {
        const bool aspirates =
            (next.medial == kMedI && (next.final == kFinN || next.final == kFinL)) ||
            (next.medial == kMedYeo && next.final == kFinSs);
        if (aspirates) return {0, 20};
        return {own, 23};
      }
      return {own, kDefault};
    }
    case 3:  // ㄳ
      if (ni == kIniIeung) return {2, 14};
      return {2, kDefault};
    case 4:  // ㄴ
      if (ni == kIniR) return {9, 9};
      return {4, kDefault};
    case 5:  // ㄵ
      if (ni == kIniIeung) return {4, 17};
      return {4, kDefault};
    case 6:  // ㄶ
      if (ni == kIniG) return {4, 20};
      if (ni == kIniD) return {4, 21};
      if (ni == kIniB) return {4, 22};
      if (ni == kIniJ) return {4, 19};
      if (ni == kIniIeung) return {0, 4};
      return {4, kDefault};
    case 7:  // ㄷ
      if (ni == kIniIeung && palatal) return {0, 17};
      if (ni == kIniH && palatal) return {0, 19};
      return {6, kDefault};
    case 8:  // ㄹ
      if (ni == kIniN || ni == kIniR) return {9, 9};
      if (ni == kIniIeung) return {0, 8};
      return {9, kDefault};
    case 9:  // ㄺ
      if (ni == kIniIeung) return {9, 1};
      if (ni == kIniH) return {9, 20};
      return {2, kDefault};
    case 10:  // ㄻ
      if (ni == kIniIeung) return {9, 10};
      return {10, kDefault};
    case 11:  // ㄼ
      if (ni == kIniIeung && cur.initial == kIniD && cur.medial == kMedEo) return {0, 9};
      if (ni == kIniIeung) return {9, 11};
      return {9, kDefault};
    case 12:  // ㄽ
      if (ni == kIniIeung) return {9, 14};
      return {9, kDefault};
    case 13:  // ㄾ
      if (ni == kIniIeung) return {9, 21};
      return {9, kDefault};
    case 14:  // ㄿ
      if (ni == kIniIeung) return {9, 22};
      return {9, kDefault};
    case 15:  // ㅀ
      if (ni == kIniG) return {9, 20};
      if (ni == kIniD) return {9, 21};
      if (ni == kIniB) return {9, 22};
      if (ni == kIniJ) return {9, 19};
      if (ni == kIniIeung) return {0, 8};
      return {9, kDefault};
    case 16:  // ㅁ
      if (ni == kIniIeung) return {0, 10};
      return {10, kDefault};
    case 17:  // ㅂ
      if (ni == kIniR) return {10, 4};
      if (ni == kIniM) return {10, 10};
      if (ni == kIniIeung) return {0, 11};
      if (ni == kIniH) return {0, 22};
      return {12, kDefault};
    case 18:  // ㅄ
      if (ni == kIniIeung && (next.medial == kMedI || next.medial == kMedEu)) return {12, 14};
      if (ni == kIniIeung) return {0, 11};
      return {12, kDefault};
    case 19:  // ㅅ
      if (ni == kIniIeung) return {0, 14};
      return {6, kDefault};
    case 20:  // ㅆ
      if (ni == kIniIeung) return {0, 15};
      return {6, kDefault};
    case 21:  // ㅇ
      if (ni == kIniR) return {16, 4};
      return {16, kDefault};
    case 22:  // ㅈ
      if (ni == kIniIeung) return {17, kDefault};
      if (ni == kIniH) return {0, 19};
      return {6, kDefault};
    case 23:  // ㅊ
      if (ni == kIniIeung) return {19, kDefault};
      if (ni == kIniH) return {0, 19};
      return {6, kDefault};
    case 24:  // ㅋ
      if (ni == kIniIeung) return {0, 20};
      return {2, kDefault};
    case 25:  // ㅌ
      if ((ni == kIniIeung || ni == kIniH) && palatal) return {0, 19};
      return {6, kDefault};
    case 26:  // ㅍ
      if (ni == kIniIeung) return {0, 22};
      return {12, kDefault};
    case 27:  // ㅎ
      if (ni == kIniG) return {0, 20};
      if (ni == kIniD) return {0, 21};
      if (ni == kIniJ) return {0, 19};
      if (ni == kIniIeung && palatal) return {6, 0};
      if (ni == kIniIeung) return {0, 23};
      return {6, kDefault};
    default:
      return {kFinalSoundCode[cur.final % kFinalCount], kDefault};
  }
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
  records.clear();
  records.reserve(text.size());
  for (char16_t u : text) records.push_back(Decompose(u));
}

bool IsPalatalVowel(std::uint16_t medial) { return medial == kMedYeo || medial == kMedI; }

void ResolvePair(SyllableRecord& current, SyllableRecord& next) {
  if (current.kind != Syllable) {
    current.outputKind = current.kind;
    return;
  }
  current.outputKind = 0;
  if (!current.initialFixed) current.initialCode = kInitialSoundCode[current.initial];
  current.vowelCode = static_cast<std::int16_t>(kFirstVowelCode + current.medial);
  if (next.kind != Syllable) {
    current.finalCode = kFinalSoundCode[current.final];
    return;
  }
  const PairOutcome o = Resolve(current, next);
  current.finalCode = o.finalCode;
  if (current.final != 0) {
    next.initialCode = o.nextInitial == kDefault ? kInitialSoundCode[next.initial] : o.nextInitial;
    next.initialFixed = true;
  }
}

std::uint16_t HangulRomanizer::Romanize(const char* text) {
  m_fragments.clear();
  if (text == nullptr || text[0] == '\0') return 0;
  DecodeCp949(std::string_view(text, std::strlen(text)), m_text);
  if (m_text.size() > kMaxUnits) {
    m_text.clear();
    return 0;
  }
  BuildRecords(m_text, m_records);
  const std::size_t n = m_records.size();
  for (std::size_t i = 0; i + 1 < n; ++i) ResolvePair(m_records[i], m_records[i + 1]);
  SyllableRecord endMarker;
  ResolvePair(m_records[n - 1], endMarker);

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
  char buf[2];
  for (std::u16string_view f : m_fragments) {
    for (char16_t u : f) out.append(buf, EncodeCp949Unit(u, buf));
    if (out.size() > kMaxResultBytes) {
      out.clear();
      return;
    }
  }
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
}

}  // namespace jasokit

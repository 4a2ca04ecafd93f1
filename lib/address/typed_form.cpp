#include "address/typed_form.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>

#include "address/typed_places.h"
#include "romanize/cp949.h"
#include "tables/official_tables.h"

namespace jasokit::detail {

namespace {

// Syllables the reader looks for.
constexpr char16_t kSi = u'\uC2DC', kGun = u'\uAD70', kGu = u'\uAD6C', kEup = u'\uC74D', kMyeon = u'\uBA74';
constexpr char16_t kDong = u'\uB3D9', kRi = u'\uB9AC', kGa = u'\uAC00', kRo = u'\uB85C', kGil = u'\uAE38';
constexpr char16_t kSan = u'\uC0B0', kFloor = u'\uCE35';
constexpr std::u16string_view kBasement = u"\uC9C0\uD558";                   // 지하
constexpr std::u16string_view kBeonji = u"\uBC88\uC9C0";                     // 번지
constexpr std::u16string_view kBeonjiOf = u"\uBC88\uC9C0\uC758";             // 번지의
constexpr std::u16string_view kOf = u"\uC758";                               // 의
constexpr std::u16string_view kPostcodeLabel = u"\uC6B0\uD3B8\uBC88\uD638";  // 우편번호
constexpr std::u16string_view kPostLabelShort = u"\uC6B0)";                  // 우)
constexpr std::u16string_view kPostLabelRound = u"(\uC6B0)";                 // (우)

constexpr std::string_view kSejong = "Sejong-si";

constexpr bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
constexpr bool IsSyllable(char16_t c) { return c >= 0xAC00 && c <= 0xD7A3; }
constexpr bool IsCityUnit(char16_t c) { return c == kSi || c == kGun || c == kGu; }
constexpr bool IsLocalityUnit(char16_t c) { return c == kEup || c == kMyeon || c == kDong || c == kRi || c == kGa; }

bool StartsWith(std::u16string_view s, std::u16string_view p) { return s.substr(0, p.size()) == p; }
bool EndsWith(std::u16string_view s, std::u16string_view p) {
  return s.size() >= p.size() && s.substr(s.size() - p.size()) == p;
}

std::size_t LeadingDigits(std::u16string_view s) {
  std::size_t n = 0;
  while (n < s.size() && IsDigit(s[n])) ++n;
  return n;
}

std::size_t TrailingDigitCount(std::u16string_view s) {
  std::size_t n = 0;
  while (n < s.size() && IsDigit(s[s.size() - 1 - n])) ++n;
  return n;
}

bool AllDigits(std::u16string_view s) { return !s.empty() && LeadingDigits(s) == s.size(); }

// 12 or 12-3.
bool IsNumber(std::u16string_view s) {
  const std::size_t dash = s.find(u'-');
  if (dash == std::u16string_view::npos) return AllDigits(s);
  return AllDigits(s.substr(0, dash)) && AllDigits(s.substr(dash + 1));
}

// The length of a number (12, 12-3) at the end of s, or 0.
std::size_t TrailingNumber(std::u16string_view s) {
  std::size_t n = TrailingDigitCount(s);
  if (n == 0) return 0;
  const std::size_t before = s.size() - n;
  if (before >= 2 && s[before - 1] == u'-' && IsDigit(s[before - 2])) {
    n += 1 + TrailingDigitCount(s.substr(0, before - 1));
  }
  return n;
}

}  // namespace

namespace {

// ---- The reader, on UTF-16 --------------------------------------------------

struct Word {
  std::u16string text;
  bool comma = false;  // a comma followed it
};

// Full-width ASCII, the ideographic and full-width tildes, the half-width
// middle dot: their plain forms.
char16_t PlainForm(char16_t c) {
  if (c >= 0xFF01 && c <= 0xFF5E) return static_cast<char16_t>(c - 0xFF01 + 0x21);
  switch (c) {
    case 0x301C: return u'~';
    case 0xFF65: return 0x00B7;
    case 0x3000: return u' ';
    default: return c;
  }
}

enum class CodeKind { None, Five, Six };

// A postcode word: 06236, (06236), [06236], 135-080, (135-080), 135080;
// digits gets the code as written out (06236, 135-080).
CodeKind CodeOf(std::u16string_view w, std::u16string& digits, bool* bracketed = nullptr) {
  const bool round = w.size() >= 2 && w.front() == u'(' && w.back() == u')';
  const bool square = w.size() >= 2 && w.front() == u'[' && w.back() == u']';
  if (round || square) w = w.substr(1, w.size() - 2);
  if (bracketed) *bracketed = round || square;
  if (w.size() == 5 && AllDigits(w)) {
    digits.assign(w);
    return CodeKind::Five;
  }
  const bool hyphen = w.size() == 7 && w[3] == u'-' && AllDigits(w.substr(0, 3)) && AllDigits(w.substr(4));
  if (hyphen || (w.size() == 6 && AllDigits(w))) {
    digits.assign(w.substr(0, 3));
    digits += u'-';
    digits.append(w.substr(hyphen ? 4 : 3));
    return CodeKind::Six;
  }
  return CodeKind::None;
}

// A label before a postcode, alone or joined to it; returns its length.
std::size_t LabelLength(std::u16string_view w) {
  for (std::u16string_view label : {kPostcodeLabel, kPostLabelRound, kPostLabelShort}) {
    if (!StartsWith(w, label)) continue;
    std::size_t n = label.size();
    if (n < w.size() && w[n] == u':') ++n;
    return n;
  }
  return 0;
}

std::string ToUtf8(std::u16string_view s) {
  std::string out;
  for (std::size_t k = 0; k < s.size(); ++k) {
    char32_t cp = s[k];
    if (cp >= 0xD800 && cp < 0xDC00 && k + 1 < s.size()) cp = 0x10000 + ((cp - 0xD800) << 10) + (s[++k] - 0xDC00);
    AppendUtf8(cp, out);
  }
  return out;
}

class TypedReader {
 public:
  TypedReader(bool privateCodes, const AddressDatabase* db, TypedForm& out)
      : m_privateCodes(privateCodes), m_db(db), m_out(out) {}

  bool Read(std::string_view text) {
    DecodeCp949(text, m_text, m_privateCodes);
    std::transform(m_text.begin(), m_text.end(), m_text.begin(), PlainForm);
    SplitWords();
    TakePostcodes();
    LotForms();
    ReadRegion();
    SplitJoined();
    Write();
    return m_out.text != text || !m_out.postcode.empty() || !m_out.oldPostcode.empty();
  }

 private:
  void Warn(const char* code, std::string message) { m_out.warnings.push_back(Warning{code, std::move(message)}); }

  // Words apart at spaces and commas; a bracketed code joined to a word is
  // a word of its own.
  void SplitWords() {
    m_words.clear();
    std::size_t start = 0;
    int depth = 0;  // a comma inside brackets is the note's own
    for (std::size_t k = 0; k <= m_text.size(); ++k) {
      const bool end = k == m_text.size();
      if (!end) depth += m_text[k] == u'(' ? 1 : m_text[k] == u')' && depth > 0 ? -1 : 0;
      if (!end && m_text[k] != u' ' && (m_text[k] != u',' || depth > 0)) continue;
      AddWord(std::u16string_view(m_text).substr(start, k - start));
      if (!end && m_text[k] == u',' && !m_words.empty()) m_words.back().comma = true;
      start = k + 1;
    }
  }

  void AddWord(std::u16string_view w) {
    if (w.empty()) return;
    // (06236)서울… and …516(06236)
    for (const char16_t open : {u'(', u'['}) {
      const char16_t close = open == u'(' ? u')' : u']';
      const std::size_t a = w.find(open), b = w.find(close, a);
      if (a == std::u16string_view::npos || b == std::u16string_view::npos || (a == 0 && b + 1 == w.size())) continue;
      std::u16string digits;
      if (CodeOf(w.substr(a, b + 1 - a), digits) == CodeKind::None) continue;
      AddWord(w.substr(0, a));
      m_words.push_back(Word{std::u16string(w.substr(a, b + 1 - a))});
      AddWord(w.substr(b + 1));
      return;
    }
    m_words.push_back(Word{std::u16string(w)});
  }

  // Whether words[k] (and perhaps the next) is a postcode, labelled or not;
  // takes it if so. bare: an unlabelled, unbracketed code counts.
  bool TakeCodeAt(std::size_t k, bool bare, std::size_t* taken) {
    std::u16string_view w = m_words[k].text;
    const std::size_t label = LabelLength(w);
    std::size_t words = 1;
    if (label != 0 && label == w.size() && k + 1 < m_words.size()) {
      w = m_words[k + 1].text;
      words = 2;
    } else {
      w.remove_prefix(label);
    }
    std::u16string digits;
    bool bracketed = false;
    const CodeKind kind = CodeOf(w, digits, &bracketed);
    if (kind == CodeKind::None || (!bare && label == 0 && !bracketed)) return false;
    if (kind == CodeKind::Five && m_out.postcode.empty()) m_out.postcode = ToUtf8(digits);
    if (kind == CodeKind::Six && m_out.oldPostcode.empty()) m_out.oldPostcode = ToUtf8(digits);
    *taken = words;
    return true;
  }

  // A bare code at the end stays when it is the number of the road or
  // locality before it (개포동 135-080 may be a lot).
  bool MayBeNumberAt(std::size_t k) const {
    if (k == 0 || m_words[k].text.find(u'-') == std::u16string::npos) return false;
    const std::u16string_view before = m_words[k - 1].text;
    if (before.empty()) return false;
    const char16_t last = before.back();
    return last == kRo || last == kGil || IsLocalityUnit(last) || before == u"\uC0B0";
  }

  void TakePostcodes() {
    std::size_t taken = 0;
    std::size_t first = 0;
    while (first < m_words.size() && TakeCodeAt(first, true, &taken)) first += taken;
    m_words.erase(m_words.begin(), m_words.begin() + static_cast<std::ptrdiff_t>(first));
    for (std::size_t k = 1; k < m_words.size(); ++k) {
      const bool last = k + 1 == m_words.size() || (k + 2 == m_words.size() && LabelLength(m_words[k].text) != 0);
      if (last && MayBeNumberAt(k)) continue;
      if (!TakeCodeAt(k, last, &taken)) continue;
      if (k > 0) m_words[k - 1].comma = m_words[k - 1].comma && k + taken < m_words.size();
      m_words.erase(m_words.begin() + static_cast<std::ptrdiff_t>(k),
                    m_words.begin() + static_cast<std::ptrdiff_t>(k + taken));
      --k;
    }
    if (!m_out.oldPostcode.empty()) {
      Warn("old-postcode", "the six-digit postcode " + m_out.oldPostcode +
                               " is no longer in use; it is given as the old postcode, not in the address");
    }
  }

  // 185번지, 산 12번지, 185번지의 3, 185번지의3, 185-3번지, 번지 alone.
  void LotForms() {
    for (std::size_t k = 0; k < m_words.size(); ++k) {
      std::u16string& w = m_words[k].text;
      if (w == kBeonji && k > 0 && IsNumber(m_words[k - 1].text)) {
        m_words[k - 1].comma = m_words[k].comma;
        m_words.erase(m_words.begin() + static_cast<std::ptrdiff_t>(k--));
        continue;
      }
      const std::size_t at = w.find(kBeonji);
      if (at == std::u16string::npos || at == 0) continue;
      std::u16string number = w.substr(0, at);
      std::u16string_view head = number;
      if (StartsWith(head, u"\uC0B0")) head.remove_prefix(1);
      if (!IsNumber(head)) continue;
      std::u16string_view rest = std::u16string_view(w).substr(at + kBeonji.size());
      if (StartsWith(rest, kOf)) rest.remove_prefix(kOf.size());
      if (rest.empty() && EndsWith(w, kBeonjiOf) && k + 1 < m_words.size() && AllDigits(m_words[k + 1].text)) {
        rest = m_words[k + 1].text;
        number += u'-';
        number.append(rest);
        m_words[k].comma = m_words[k + 1].comma;
        m_words.erase(m_words.begin() + static_cast<std::ptrdiff_t>(k + 1));
      } else if (AllDigits(rest) && head.find(u'-') == std::u16string_view::npos) {
        number += u'-';
        number.append(rest);
      } else if (!rest.empty()) {
        continue;
      }
      w = number;
    }
  }

  // The region: a form of it, one joined to what follows, one with another
  // designation (세종특별시), or one jamo off where only one region is.
  void ReadRegion() {
    m_regionAt = m_words.size();
    if (m_words.empty()) return;
    Word& w = m_words[0];
    if (RegionOfForm(w.text) != nullptr) {
      m_regionAt = 0;
      return;
    }
    if (const TypedPlace* near = NearRegion(w.text)) {
      Warn("region-read-as", "read " + ToUtf8(w.text) + " as " + ToUtf8(near->form));
      w.text.assign(near->form);
      m_regionAt = 0;
      return;
    }
    if (const TypedPlace* p = RegionPrefix(w.text)) {
      std::u16string rest = w.text.substr(p->form.size());
      w.text.resize(p->form.size());
      m_words.insert(m_words.begin() + 1, Word{std::move(rest), w.comma});
      m_words[0].comma = false;
      m_regionAt = 0;
    }
  }

  // Words run together after the region: districts, localities, a road and
  // its number, details.
  void SplitJoined() {
    if (m_regionAt >= m_words.size()) return;
    m_regionRoman = RegionRomanOf(m_words[m_regionAt].text);  // the words move below
    std::vector<Word> words;
    words.reserve(m_words.size() + 4);
    bool cityNext = true, numberDone = false;
    for (std::size_t k = 0; k < m_words.size(); ++k) {
      if (k <= m_regionAt) {
        words.push_back(std::move(m_words[k]));
        continue;
      }
      const bool comma = m_words[k].comma;
      std::u16string_view w = m_words[k].text;
      SplitWord(w, cityNext, numberDone, words);
      words.back().comma = comma;
    }
    m_words.swap(words);
    CompleteDistrict();
  }

  // One typed word into the words it runs together.
  void SplitWord(std::u16string_view w, bool& cityNext, bool& numberDone, std::vector<Word>& out) {
    while (!w.empty()) {
      const std::size_t n = numberDone ? 0 : NextPiece(w, cityNext);
      if (n == 0 || n >= w.size()) {
        out.push_back(Word{numberDone ? SplitDetails(w, out) : std::u16string(w)});
        numberDone = numberDone || IsNumber(w) || IsMarkedNumber(w);
        return;
      }
      out.push_back(Word{std::u16string(w.substr(0, n))});
      numberDone = IsNumber(out.back().text) || IsMarkedNumber(out.back().text);
      w.remove_prefix(n);
    }
    cityNext = false;
  }

  static bool IsMarkedNumber(std::u16string_view w) {
    if (StartsWith(w, kBasement)) return IsNumber(w.substr(kBasement.size()));
    return w.size() > 1 && w[0] == kSan && IsNumber(w.substr(1));
  }

  // The length of the first piece of w, or 0 to keep it whole.
  std::size_t NextPiece(std::u16string_view w, bool& cityNext) {
    const std::size_t number = TrailingNumber(w);
    if (number != 0 && number < w.size()) {
      // 개포로516, 개포로지하420, 개포동185, 개포동산12
      const std::u16string_view head = w.substr(0, w.size() - number);
      const std::u16string_view bare = EndsWith(head, kBasement)   ? head.substr(0, head.size() - 2)
                                       : EndsWith(head, u"\uC0B0") ? head.substr(0, head.size() - 1)
                                                                   : head;
      if (const std::size_t piece = cityNext ? CityPiece(bare) : 0) return piece;
      if (const std::size_t town = TownPiece(bare)) return town;
      if (IsStreetWord(bare)) return bare.size();
      return 0;
    }
    const std::size_t piece = cityNext ? CityPiece(w) : 0;
    if (piece != 0) return piece;
    cityNext = false;
    // 논공읍노이길 before its number: only where the data has that road and
    // not the whole, as a road's own name may hold 읍 or 면.
    return m_db ? TownPiece(w, true) : 0;
  }

  // A road or locality word: a name before 로, 길 or a locality's unit.
  static bool IsStreetWord(std::u16string_view w) {
    if (w.size() < 2 || (!IsSyllable(w[w.size() - 2]) && !IsDigit(w[w.size() - 2]))) return false;
    const char16_t last = w.back();
    return last == kRo || last == kGil || IsLocalityUnit(last);
  }

  // A si, gun or gu at the front of w with more after it (강남구개포로),
  // where the rest is a word of its own: a unit (수원시영통구), or a road
  // with a name of two syllables or more (남동구 and 금남구즉로 stay whole),
  // or of one that the data has (중구종로).
  // Sejong has no si, gun or gu; with the data, a road it names stays whole.
  std::size_t CityPiece(std::u16string_view w) {
    if (m_regionRoman == kSejong) return 0;
    const std::size_t town = TownPiece(w);
    for (std::size_t k = 1; k + 2 < w.size() && (town == 0 || k < town); ++k) {
      if (!IsCityUnit(w[k]) || (!IsSyllable(w[k + 1]) && !IsDigit(w[k + 1]))) continue;
      // Under a city, only its gu (수원시영통구): 서구서대구로 is one district.
      if (m_cityUnit != 0 && (m_cityUnit != kSi || w[k] != kGu)) continue;
      const std::u16string_view rest = w.substr(k + 1);
      const std::size_t number = TrailingNumber(rest);
      const std::u16string_view head = rest.substr(0, rest.size() - number);
      const bool unit = head.size() >= 2 && IsCityUnit(head.back());
      // A road of one syllable before its type (종로) only where the data
      // knows it: by the rules alone 금남구즉로 stays whole.
      const bool road = IsStreetWord(head) && (head.size() >= 3 || (m_db && IsDataRoad(*m_db, head)));
      if (!unit && !road) continue;
      if (m_db && IsDataRoad(*m_db, w.substr(0, w.size() - TrailingNumber(w)))) return 0;
      m_cityUnit = w[k];
      return k + 1;
    }
    return 0;
  }

  // An eup or myeon at the front of a road word (논공읍노이길): the town
  // and a road with a name of two syllables or more, or of one that the
  // data has (화원읍장길).
  // dataOnly: only where the data decides.
  std::size_t TownPiece(std::u16string_view w, bool dataOnly = false) const {
    for (std::size_t k = 1; k + 2 < w.size(); ++k) {
      if ((w[k] != kEup && w[k] != kMyeon) || !IsSyllable(w[k + 1])) continue;
      const std::u16string_view rest = w.substr(k + 1);
      if (rest.back() != kRo && rest.back() != kGil) continue;
      if (rest.size() >= 3 && !dataOnly) return k + 1;
      if (m_db && IsDataRoad(*m_db, rest) && !IsDataRoad(*m_db, w)) return k + 1;
    }
    return 0;
  }

  // Details run together after the number: 101동1203호, 3층301호, B1층.
  static std::u16string SplitDetails(std::u16string_view w, std::vector<Word>& out) {
    if (w.size() >= 3 && w[0] == u'B' && IsDigit(w[1]) && w.back() == kFloor && AllDigits(w.substr(1, w.size() - 2))) {
      std::u16string floor(kBasement);
      floor.append(w.substr(1));
      return floor;
    }
    const std::size_t digits = LeadingDigits(w);
    if (digits == 0 || digits + 1 >= w.size() || (w[digits] != kDong && w[digits] != kFloor) ||
        !IsDigit(w[digits + 1])) {
      return std::u16string(w);
    }
    out.push_back(Word{std::u16string(w.substr(0, digits + 1))});
    return SplitDetails(w.substr(digits + 1), out);
  }

  // 서울 강남 개포로: a district without its unit, where the data has one
  // district of that name in the region.
  void CompleteDistrict() {
    if (m_db == nullptr || m_regionAt + 1 >= m_words.size()) return;
    std::u16string& w = m_words[m_regionAt + 1].text;
    if (w.size() < 2 || !IsSyllable(w.back()) || IsCityUnit(w.back()) || IsStreetWord(w)) return;
    std::u16string full;
    if (!DistrictWithUnit(*m_db, m_regionRoman, w, full)) return;
    Warn("region-read-as", "read " + ToUtf8(w) + " as " + ToUtf8(full));
    w = full;
  }

  void Write() {
    m_text.clear();
    for (const Word& w : m_words) {
      if (w.text.empty()) continue;
      if (!m_text.empty()) m_text += u' ';
      m_text += w.text;
      if (w.comma) m_text += u',';
    }
    while (!m_text.empty() && m_text.back() == u',') m_text.pop_back();
    m_out.text.clear();
    if (!m_out.postcode.empty()) m_out.text = "(" + m_out.postcode + ") ";
    EncodeWithPrivateCodes(m_text, m_out.text);
  }

  static void EncodeWithPrivateCodes(std::u16string_view s, std::string& out) {
    for (const char16_t c : s) {
      if (c >= kPrivateUnitFirst && c < kPrivateUnitFirst + kPrivateCodeCount) {
        const unsigned k = c - kPrivateUnitFirst;
        out += static_cast<char>(kPrivateLeadFirst + k / kPrivateTrailCount);
        out += static_cast<char>(kPrivateTrailFirst + k % kPrivateTrailCount);
        continue;
      }
      char pair[2];
      const std::size_t n = EncodeCp949Unit(c, pair);
      out.append(pair, n);
    }
  }

  bool m_privateCodes;
  const AddressDatabase* m_db;
  TypedForm& m_out;
  std::u16string m_text;
  std::vector<Word> m_words;
  std::size_t m_regionAt = 0;
  std::string_view m_regionRoman;
  char16_t m_cityUnit = 0;  // of the last district taken out of a word
};

}  // namespace

bool ReadTypedForm(std::string_view text, bool privateCodes, const AddressDatabase* db, TypedForm& out) {
  out.text.clear();
  out.postcode.clear();
  out.oldPostcode.clear();
  out.warnings.clear();
  TypedReader reader(privateCodes, db, out);
  return reader.Read(text);
}

bool WhyNotAnAddress(std::string_view text, std::string& why) {
  static constexpr std::string_view kPlaceEnds[] = {"\xBD\xC3", "\xB1\xBA", "\xB1\xB8", "\xC0\xBE", "\xB8\xE9",
                                                    "\xB5\xBF", "\xB8\xAE", "\xB7\xCE", "\xB1\xE6"};
  bool place = false, number = false;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view word = text.substr(start, end - start);
    start = end + 1;
    while (!word.empty() && word.back() == ',') word.remove_suffix(1);
    if (word.size() >= 4 &&
        std::find(std::begin(kPlaceEnds), std::end(kPlaceEnds), word.substr(word.size() - 2)) != std::end(kPlaceEnds)) {
      place = true;
    }
    number = number || (!word.empty() && word.back() >= '0' && word.back() <= '9');
  }
  if (!place || !number) return false;
  why = "read as plain text: no region (the first word names no province or metropolitan city)";
  return true;
}

// ---- Loose jamo at the UTF-8 edge -------------------------------------------

bool HasLooseJamo(std::string_view utf8) {
  // Their first bytes are rare in Korean text, so most texts are passed over
  // by two searches for a byte.
  const char* const end = utf8.data() + utf8.size();
  for (const char* p = utf8.data(); (p = static_cast<const char*>(std::memchr(p, 0xE1, end - p))) && end - p >= 3;
       ++p) {
    const auto b = static_cast<unsigned char>(p[1]);
    if (b >= 0x84 && b <= 0x87) return true;  // U+1100..U+11FF
  }
  for (const char* p = utf8.data(); (p = static_cast<const char*>(std::memchr(p, 0xEF, end - p))) && end - p >= 3;
       ++p) {
    const auto b = static_cast<unsigned char>(p[1]), c = static_cast<unsigned char>(p[2]);
    if ((b == 0xBE && c >= 0xA0) || (b == 0xBF && c <= 0x9C)) return true;  // U+FFA0..U+FFDC
  }
  return false;
}

namespace {

// A letter's place as an initial (0..18) or a final (1..27), -1 where it is none.
struct LetterRow {
  signed char initial;
  signed char final;
};
// The compatibility consonants U+3131..U+314E in order.
constexpr LetterRow kConsonants[30] = {
    {0, 1},   {1, 2},   {-1, 3},  {2, 4},   {-1, 5},  {-1, 6},  {3, 7},   {4, -1},  {5, 8},   {-1, 9},
    {-1, 10}, {-1, 11}, {-1, 12}, {-1, 13}, {-1, 14}, {-1, 15}, {6, 16},  {7, 17},  {8, -1},  {-1, 18},
    {9, 19},  {10, 20}, {11, 21}, {12, 22}, {13, -1}, {14, 23}, {15, 24}, {16, 25}, {17, 26}, {18, 27},
};

// A half-width letter as its compatibility letter (U+3131..U+3163), or 0.
char32_t CompatibilityOf(char32_t c) {
  if (c >= 0xFFA1 && c <= 0xFFBE) return c - 0xFFA1 + 0x3131;
  constexpr char32_t kVowelRuns[4][2] = {{0xFFC2, 0x314F}, {0xFFCA, 0x3155}, {0xFFD2, 0x315B}, {0xFFDA, 0x3161}};
  for (const auto& run : kVowelRuns) {
    if (c >= run[0] && c < run[0] + (run[0] == 0xFFDA ? 3 : 6)) return c - run[0] + run[1];
  }
  return c == 0xFFA0 ? 0x3164 : 0;
}

int InitialOf(char32_t compat) {
  return compat >= 0x3131 && compat <= 0x314E ? kConsonants[compat - 0x3131].initial : -1;
}
int FinalOf(char32_t compat) { return compat >= 0x3131 && compat <= 0x314E ? kConsonants[compat - 0x3131].final : -1; }
int VowelOf(char32_t compat) { return compat >= 0x314F && compat <= 0x3163 ? static_cast<int>(compat - 0x314F) : -1; }

// Code points of valid UTF-8 (an invalid byte passes as itself, U+FFFD-bound).
std::vector<char32_t> CodePoints(std::string_view utf8) {
  std::vector<char32_t> cps;
  for (std::size_t k = 0; k < utf8.size();) {
    const std::size_t n = ValidUtf8Length(utf8, k);
    if (n == 0) {
      cps.push_back(0x110000 + static_cast<unsigned char>(utf8[k++]));  // kept as the byte
      continue;
    }
    char32_t cp = static_cast<unsigned char>(utf8[k]) & (n == 1 ? 0x7F : n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
    for (std::size_t j = 1; j < n; ++j) cp = cp << 6 | (static_cast<unsigned char>(utf8[k + j]) & 0x3F);
    cps.push_back(cp);
    k += n;
  }
  return cps;
}

// The letters at cps[k]: a conjoining or half-width syllable's initial,
// vowel and final, or -1 where none starts there. Returns the units used.
std::size_t Syllable(const std::vector<char32_t>& cps, std::size_t k, char32_t& out) {
  const auto at = [&](std::size_t i) { return i < cps.size() ? cps[i] : 0; };
  const char32_t c = cps[k];
  if (c >= 0x1100 && c <= 0x1112 && at(k + 1) >= 0x1161 && at(k + 1) <= 0x1175) {
    out = 0xAC00 + ((c - 0x1100) * 21 + (at(k + 1) - 0x1161)) * 28;
    if (at(k + 2) >= 0x11A8 && at(k + 2) <= 0x11C2) {
      out += at(k + 2) - 0x11A7;
      return 3;
    }
    return 2;
  }
  if (c >= 0xAC00 && c <= 0xD7A3 && (c - 0xAC00) % 28 == 0 && at(k + 1) >= 0x11A8 && at(k + 1) <= 0x11C2) {
    out = c + (at(k + 1) - 0x11A7);
    return 2;
  }
  const int initial = InitialOf(CompatibilityOf(c)), vowel = VowelOf(CompatibilityOf(at(k + 1)));
  if (initial < 0 || vowel < 0) return 0;
  out = 0xAC00 + static_cast<char32_t>((initial * 21 + vowel) * 28);
  const int final = FinalOf(CompatibilityOf(at(k + 2)));
  if (final > 0 && VowelOf(CompatibilityOf(at(k + 3))) < 0) {
    out += static_cast<char32_t>(final);
    return 3;
  }
  return 2;
}

}  // namespace

void ComposeHangul(std::string_view utf8, std::string& out) {
  out.clear();
  const std::vector<char32_t> cps = CodePoints(utf8);
  for (std::size_t k = 0; k < cps.size();) {
    char32_t syllable = 0;
    if (const std::size_t n = Syllable(cps, k, syllable)) {
      AppendUtf8(syllable, out);
      k += n;
      continue;
    }
    const char32_t c = cps[k++];
    if (c >= 0x110000) {
      out += static_cast<char>(c - 0x110000);
    } else if (const char32_t compat = CompatibilityOf(c)) {
      AppendUtf8(compat, out);
    } else {
      AppendUtf8(c, out);
    }
  }
}

}  // namespace jasokit::detail

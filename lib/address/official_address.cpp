#include "address/official_address.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <vector>

#include "address/address_converter.h"
#include "address/address_match.h"
#include "romanize/cp949.h"
#include "romanize/hangul_romanizer.h"
#include "tables/address_tables.h"
#include "tables/official_tables.h"

namespace jasokit::detail {

namespace {

constexpr std::string_view kGroupSeparator = ", ";

// Administrative units by size, for the order of the unit groups.
enum class UnitKind { Locality, Town, District, City };

constexpr UnitKind KindOf(Unit unit) {
  switch (unit) {
    case kUnitDong:
    case kUnitGa:
    case kUnitRi: return UnitKind::Locality;
    case kUnitEup:
    case kUnitMyeon: return UnitKind::Town;
    case kUnitGu: return UnitKind::District;
    case kUnitSi:
    case kUnitGun: return UnitKind::City;
  }
  return UnitKind::Locality;
}

struct Token {
  std::string_view text;
  bool commaEnded = false;  // "152,": the comma only separates
};

constexpr bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::size_t TrailingDigits(std::string_view text) {
  std::size_t n = 0;
  while (n < text.size() && IsDigit(text[text.size() - 1 - n])) ++n;
  return n;
}

bool AllDigits(std::string_view text) { return !text.empty() && TrailingDigits(text) == text.size(); }

// A building or lot number: 12 or 12-1.
bool IsNumber(std::string_view text) {
  const std::size_t dash = text.find('-');
  if (dash == std::string_view::npos) return AllDigits(text);
  return AllDigits(text.substr(0, dash)) && AllDigits(text.substr(dash + 1));
}

// Five digits, bare or in round brackets; returns the digits.
bool IsPostcode(std::string_view text, std::string_view* digits) {
  if (text.size() == 7 && text.front() == '(' && text.back() == ')') text = text.substr(1, 5);
  if (text.size() != 5 || !AllDigits(text)) return false;
  *digits = text;
  return true;
}

// The last two bytes as one number (0 for a shorter text): every word the
// tables end in ends in a two-byte syllable or in two bytes of its own, so
// this rules most words out before a comparison.
constexpr std::uint16_t LastTwo(std::string_view text) {
  if (text.size() < 2) return 0;
  return static_cast<std::uint16_t>(static_cast<unsigned char>(text[text.size() - 2]) << 8 |
                                    static_cast<unsigned char>(text[text.size() - 1]));
}

// The last two bytes of every row of a table, worked out once.
template <typename Row, std::size_t N, typename Word>
constexpr std::array<std::uint16_t, N> Tails(const Row (&rows)[N], Word word) {
  std::array<std::uint16_t, N> tails{};
  for (std::size_t i = 0; i < N; ++i) tails[i] = LastTwo(word(rows[i]));
  return tails;
}

constexpr auto kUnitTails = Tails(kUnitSyllables, [](const UnitSyllable& r) { return r.syllable; });
static_assert(
    [] {
      for (const UnitSyllable& u : kUnitSyllables) {
        if (u.syllable.size() != 2) return false;
      }
      return true;
    }(),
    "ParseUnit takes a unit syllable for its last two bytes");
constexpr auto kBuildingTails = Tails(kBuildingWords, [](const BuildingWordRow& r) { return r.korean; });
// Every written form of a region is one of its own, so the forms can be
// found by hashing instead of row by row.
struct RegionIndex {
  static constexpr std::size_t kSlots = 128;
  std::int8_t slot[kSlots];
};

constexpr std::size_t RegionHash(std::string_view form) {
  return (LastTwo(form) * 40503u + form.size() * 7u) % RegionIndex::kSlots;
}

constexpr RegionIndex IndexRegions() {
  RegionIndex index{};
  for (std::int8_t& s : index.slot) s = -1;
  for (std::size_t k = 0; k < std::size(kOfficialRegions); ++k) {
    std::size_t at = RegionHash(kOfficialRegions[k].korean);
    while (index.slot[at] >= 0) at = (at + 1) % RegionIndex::kSlots;
    index.slot[at] = static_cast<std::int8_t>(k);
  }
  return index;
}

constexpr bool FormsAreDistinct() {
  for (std::size_t a = 0; a < std::size(kOfficialRegions); ++a) {
    for (std::size_t b = a + 1; b < std::size(kOfficialRegions); ++b) {
      if (kOfficialRegions[a].korean == kOfficialRegions[b].korean) return false;
    }
  }
  return true;
}
static_assert(FormsAreDistinct() && std::size(kOfficialRegions) < RegionIndex::kSlots / 2);

constexpr RegionIndex kRegionIndex = IndexRegions();

const PlaceRow* FindRegionForm(std::string_view word) {
  for (std::size_t at = RegionHash(word); kRegionIndex.slot[at] >= 0; at = (at + 1) % RegionIndex::kSlots) {
    const PlaceRow& row = kOfficialRegions[static_cast<std::size_t>(kRegionIndex.slot[at])];
    if (row.korean == word) return &row;
  }
  return nullptr;
}

// Every road word ends in one of these syllables: most words are ruled out
// before any parsing.
constexpr std::uint16_t kRoadEnds[] = {LastTwo(kRoadTypes[0].korean), LastTwo(kRoadTypes[1].korean),
                                       LastTwo(kRoadTypes[2].korean), LastTwo(kOfficialExpressway),
                                       LastTwo(kOfficialStreet),      LastTwo(kOfficialPass)};
static_assert(std::size(kRoadTypes) == 3, "every road type is in kRoadEnds");

constexpr bool MayEndARoad(std::uint16_t tail) {
  for (std::uint16_t end : kRoadEnds) {
    if (tail == end) return true;
  }
  return false;
}

constexpr std::uint16_t kGilTail = LastTwo(kOfficialGil);
constexpr std::uint16_t kFloorTail = LastTwo(kOfficialFloor);
constexpr std::uint16_t kDongTail = LastTwo(kOfficialDong);
constexpr std::uint16_t kHoTail = LastTwo(kOfficialHo);
constexpr std::uint16_t kBoxTail = LastTwo(kPostOfficeBox);

bool StartsWith(std::string_view text, std::string_view word) {
  return text.size() >= word.size() && text.compare(0, word.size(), word) == 0;
}

constexpr std::string_view kExpressway = " Expressway";
constexpr std::string_view kTypedPostLabel = "\xBF\xEC";    // 우, as in 우) and 우편번호
constexpr std::string_view kTypedLot = "\xB9\xF8\xC1\xF6";  // 번지

// A road's type and what may stand before it: [N [번 [N2]]] [LETTER] TYPE,
// as in 6로, 46번길, 3번로, 126번1길, 52안길, 7가길, 14남길 or 길.
struct RoadSegment {
  std::string_view number;  // digits, perhaps joined by middle dots (2·28)
  bool beon = false;
  std::string_view subNumber;  // the 1 of 126번1길
  std::string_view letter;     // Roman
  bool inner = false;          // the letter is 안
  bool direction = false;      // the letter is 동, 서, 남 or 북
  std::string_view type;       // Roman
  bool gil = false;
};

// The pieces of a road word: NAME ROAD [[DIRECTION] BRANCH]. A name with no
// type ("가구거리") is written whole.
struct RoadParts {
  std::string_view name;
  RoadSegment road;
  std::string_view direction;  // Roman
  RoadSegment branch;          // none when its type is empty
};

constexpr auto kTypeTails = Tails(kRoadTypes, [](const PlaceRow& r) { return r.korean; });
constexpr auto kLetterTails = Tails(kRoadLetters, [](const PlaceRow& r) { return r.korean; });
constexpr auto kDirectionTails = Tails(kRoadDirections, [](const PlaceRow& r) { return r.korean; });

// Rows named by their place in the tables, so that a found row is told by
// its address.
constexpr std::size_t RowOf(const PlaceRow* rows, std::size_t n, std::string_view korean) {
  for (std::size_t k = 0; k < n; ++k) {
    if (rows[k].korean == korean) return k;
  }
  return n;
}
constexpr std::size_t kGilRow = RowOf(kRoadTypes, std::size(kRoadTypes), kOfficialGil);
constexpr std::size_t kInnerRow = RowOf(kRoadLetters, std::size(kRoadLetters), kOfficialInner);
static_assert(kGilRow < std::size(kRoadTypes) && kInnerRow < std::size(kRoadLetters));

// The first row that text ends in; tails holds the rows' last two bytes.
template <std::size_t N>
const PlaceRow* EndRow(std::string_view text, const PlaceRow (&rows)[N], const std::array<std::uint16_t, N>& tails) {
  const std::uint16_t tail = LastTwo(text);
  for (std::size_t k = 0; k < N; ++k) {
    if (tails[k] == tail && EndsWith(text, rows[k].korean)) return &rows[k];
  }
  return nullptr;
}

// Takes word off the end of text if text ends in it.
bool TakeSuffix(std::string_view& text, std::string_view word) {
  if (!EndsWith(text, word)) return false;
  text.remove_suffix(word.size());
  return true;
}

std::string_view TakeDigits(std::string_view& text) {
  const std::size_t d = TrailingDigits(text);
  text.remove_suffix(d);
  return std::string_view(text.data() + text.size(), d);
}

bool IsDot(std::string_view text) {
  return text.size() == 2 &&
         (LastTwo(text) == LastTwo(kOfficialMiddleDot) || LastTwo(text) == LastTwo(kOfficialAraeaDot));
}

// Trailing digits, joined across a middle dot between digits (2·28). A
// digit is one byte that no two-byte character ends in, so the dot before
// it is a whole character.
std::string_view TakeNumberText(std::string_view& text) {
  const std::size_t end = text.size();
  if (TakeDigits(text).empty()) return {};
  for (;;) {
    std::string_view before = text;
    if (!TakeSuffix(before, kOfficialMiddleDot) && !TakeSuffix(before, kOfficialAraeaDot)) break;
    if (TakeDigits(before).empty()) break;
    text = before;
  }
  return std::string_view(text.data() + text.size(), end - text.size());
}

// The letter before a 길: 안, the 가나다 series or a direction. It follows a
// number, 번 or a road's type, which rules out most names at once.
void TakeLetter(std::string_view& rest, RoadSegment& s) {
  if (rest.size() < 3 || IsDigit(rest.back()) || EndsWith(rest, kOfficialBeon)) return;
  const std::string_view before = rest.substr(0, rest.size() - 2);
  if (!IsDigit(before.back()) && !EndsWith(before, kOfficialBeon) && !EndRow(before, kRoadTypes, kTypeTails)) return;
  if (const PlaceRow* row = EndRow(rest, kRoadLetters, kLetterTails)) {
    s.letter = row->roman;
    s.inner = row == &kRoadLetters[kInnerRow];
  } else if (const PlaceRow* dir = EndRow(rest, kRoadDirections, kDirectionTails)) {
    s.letter = dir->roman;
    s.direction = true;
  } else {
    return;
  }
  rest.remove_suffix(2);
}

// N, N번 or N번N2 at the end of rest.
void TakeSegmentNumber(std::string_view& rest, RoadSegment& s) {
  std::string_view probe = rest;
  if (TakeSuffix(probe, kOfficialBeon)) {
    s.number = TakeNumberText(probe);
    s.beon = !s.number.empty();
    if (s.beon) rest = probe;
    return;
  }
  const std::string_view sub = TakeDigits(probe);
  if (!sub.empty() && s.letter.empty() && TakeSuffix(probe, kOfficialBeon)) {
    s.number = TakeNumberText(probe);
    if (!s.number.empty()) {
      s.beon = true;
      s.subNumber = sub;
      rest = probe;
      return;
    }
  }
  s.number = TakeNumberText(rest);
}

// A segment at the end of text, taken off it. A letter with no number before
// it belongs to the name unless bareLetter: 골안길 is "Goran-gil", but
// 운서2로안길 "Unseo 2-ro an-gil".
bool TakeSegment(std::string_view& text, RoadSegment& s, bool bareLetter) {
  const PlaceRow* type = EndRow(text, kRoadTypes, kTypeTails);
  if (type == nullptr) return false;
  s = RoadSegment{};
  s.type = type->roman;
  s.gil = type == &kRoadTypes[kGilRow];
  const std::string_view beforeType = text.substr(0, text.size() - type->korean.size());
  std::string_view rest = beforeType;
  if (s.gil) TakeLetter(rest, s);
  TakeSegmentNumber(rest, s);
  if (!s.letter.empty() && s.number.empty() && !bareLetter) {
    s.letter = {};
    s.inner = s.direction = false;
    rest = beforeType;
  }
  text = rest;
  return true;
}

// The pieces of a unit word: a name and its unit syllable.
struct UnitParts {
  std::string_view name;
  Unit unit;
};

// A direct-mapped table of recent names and their romanizations.
class NameCache {
 public:
  static constexpr std::size_t kMaxKey = 30;
  struct Entry {
    std::uint8_t size = 0xFF;  // no name has this size: empty
    char key[kMaxKey];
    std::string value;
  };

  Entry& At(std::string_view name) {
    std::uint32_t h = 2166136261u;  // FNV-1a
    for (char c : name) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return m_entries[h % kEntries];
  }

 private:
  static constexpr std::size_t kEntries = 1024;
  std::vector<Entry> m_entries = std::vector<Entry>(kEntries);
};

class OfficialAddress {
 public:
  explicit OfficialAddress(bool privateCodes) {
    if (privateCodes) EngineAccess::UsePrivateCodes(m_engine);
  }

  bool Convert(std::string_view text, std::string_view country, const DatabaseUse& use, std::string& output,
               AddressFields* fields) {
    Split(text);
    m_signs.Clear();
    m_at = 0;
    m_postcode = {};
    if (!m_tokens.empty() && IsPostcode(m_tokens[0].text, &m_postcode)) m_at = 1;
    std::size_t regionWords = 0;
    const PlaceRow* region = FindRegion(m_at, &regionWords);
    // Without its region, a text is an address only where the data places
    // the rest unambiguously, which takes a building or lot number: a text
    // without one is not read at all.
    if (region == nullptr && (use.database == nullptr || !HasNumberWord())) return false;
    m_at += regionWords;
    m_typed.Clear();
    if (region != nullptr) m_typed.regionRoman = region->roman;
    m_database = use.database;
    ReadParts();
    const bool fromDatabase =
        use.database && AnswerFromDatabase(*use.database, m_typed, use.keepLot, m_matchScratch, m_answer);
    if (region == nullptr && !fromDatabase) return false;
    if (fromDatabase) AnswerInTextBytes(use.codes);
    m_signs.number = !m_typed.number.empty();
    m_signs.street = m_street.size() != 0;
    // A post-office box is read as a detail, and is no street missed.
    m_signs.details = !m_details.empty() && !m_box;
    m_signs.fromDatabase = fromDatabase;
    m_signs.dataGavePostcode = fromDatabase && (!m_answer.postcode.empty() || !m_answer.oldPostcode.empty());
    m_signs.dataGaveStreet = fromDatabase && !m_answer.street.empty();
    WriteAddress(m_typed.regionRoman, country.empty() ? kOfficialCountry : country, fromDatabase, output, fields);
    return true;
  }

  const ReadingSigns& signs() const { return m_signs; }
  const TypedAddress& typed() const { return m_typed; }

 private:
  // Offsets into m_arena, which may move as it grows.
  struct Span {
    std::size_t begin;
    std::size_t end;
    std::size_t size() const { return end - begin; }
  };

  // The words the database is asked about.
  void NoteUnit(std::string_view word, UnitKind kind) {
    if (kind == UnitKind::City || kind == UnitKind::District) m_typed.cities.push_back(word);
    if (kind == UnitKind::Town) m_typed.town = word;
  }

  // The data's parts replace the rules' where it has them; its five-digit
  // postcode wins over one typed, which is noted for a warning.
  void UseAnswer(std::string_view (&groups)[6]) {
    if (!m_answer.street.empty()) groups[1] = m_answer.street;
    if (!m_answer.district.empty()) groups[2] = m_answer.district;
    if (!m_answer.region.empty()) groups[3] = m_answer.region;
    if (!groups[4].empty() && m_answer.postcode.size() == 5 && groups[4] != m_answer.postcode) {
      m_signs.typedPostcode.assign(groups[4]);
      m_signs.dataPostcode = m_answer.postcode;
      groups[4] = m_answer.postcode;
    }
    if (groups[4].empty()) groups[4] = m_answer.postcode;
  }

  // The data's names are UTF-8 and the text is CP949, with private codes
  // when codes is given: a name beyond ASCII (3·1manseundong-gil) is
  // written in the text's bytes, so that it comes back as the data has it.
  void AnswerInTextBytes(std::vector<char32_t>* codes) {
    for (std::string* part : {&m_answer.street, &m_answer.district, &m_answer.region}) {
      if (std::all_of(part->begin(), part->end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        continue;
      }
      m_answerBytes.clear();
      if (codes) {
        AppendUtf8ToPrivateCodes(*part, *codes, m_answerBytes);
      } else {
        Utf8ToCp949(*part, m_answerBytes);
      }
      part->swap(m_answerBytes);
    }
  }

  std::string_view View(Span s) const { return std::string_view(m_arena).substr(s.begin, s.size()); }

  // Appends group to the text that began at start in out, after a separator
  // unless it is the first.
  static void Join(std::string& out, std::size_t start, std::string_view group, std::string_view separator) {
    if (group.empty()) return;
    if (out.size() != start) out += separator;
    out += group;
  }

  // Join for a part already in m_arena. The part is named by offsets and
  // copied by them only after the separator is in: a view taken before
  // would dangle once the separator makes m_arena grow.
  void JoinSpan(std::size_t start, Span part, std::string_view separator) {
    if (part.size() == 0) return;
    if (m_arena.size() != start) m_arena += separator;
    m_arena.append(m_arena, part.begin, part.size());
  }

  // The token at `at` unless it is the postcode, which is taken wherever it stands.
  std::string_view NextWord(std::size_t at) const {
    std::string_view digits;
    if (at >= m_tokens.size() || (m_postcode.empty() && IsPostcode(m_tokens[at].text, &digits))) return {};
    return m_tokens[at].text;
  }

  // Whether a word from m_at on is a number that TakeNumber could take: 12,
  // 12-1, or one joined to its mark (지하12, 산12).
  bool HasNumberWord() const {
    for (std::size_t k = m_at; k < m_tokens.size(); ++k) {
      std::string_view t = m_tokens[k].text;
      if (StartsWith(t, kOfficialBasement)) {
        t.remove_prefix(kOfficialBasement.size());
      } else if (StartsWith(t, kOfficialMountain)) {
        t.remove_prefix(kOfficialMountain.size());
      }
      if (IsNumber(t)) return true;
    }
    return false;
  }

  // The words after the region, into parts in m_arena.
  void ReadParts() {
    m_arena.clear();
    m_notes.clear();
    m_details.clear();
    m_units.clear();
    m_street = Span{0, 0};
    m_streetDone = false;
    m_unitDetails = false;
    m_box = false;
    while (m_at < m_tokens.size()) {
      if (TakePostcode() || TakeNote()) continue;
      if (!m_streetDone && (TakeRoad() || TakeUnit())) continue;
      // Anything else ends the street: the rest is detail.
      LocalityAsStreet();
      m_streetDone = true;
      const std::size_t begin = m_arena.size();
      m_unitDetails = m_unitDetails || IsUnitDetail(m_tokens[m_at].text);
      m_signs.typedForm = m_signs.typedForm || IsTypedDetail(m_tokens[m_at].text);
      m_box = m_box || (LastTwo(m_tokens[m_at].text) == kBoxTail && EndsWith(m_tokens[m_at].text, kPostOfficeBox));
      Detail(m_tokens[m_at++].text, m_arena);
      m_details.push_back(Span{begin, m_arena.size()});
    }
    LocalityAsStreet();
  }

  bool TakePostcode() {
    std::string_view digits;
    if (!m_postcode.empty() || !IsPostcode(m_tokens[m_at].text, &digits)) return false;
    m_postcode = digits;
    ++m_at;
    return true;
  }

  // A note in round brackets, of one word or more.
  bool TakeNote() {
    if (m_tokens[m_at].text.front() != '(') return false;
    std::size_t end = m_at;
    while (end < m_tokens.size() && m_tokens[end].text.back() != ')') ++end;
    if (end == m_tokens.size()) return false;
    // (135-080), (우): a postcode, typed as a note.
    const std::string_view t = m_tokens[m_at].text;
    const bool code = end == m_at && t.size() >= 8 && t.size() <= 9 && IsDigit(t[1]) && IsDigit(t[t.size() - 2]) &&
                      (t.size() == 8 || t[4] == '-');
    m_signs.typedForm = m_signs.typedForm || code || StartsWith(t.substr(1), kTypedPostLabel);
    const std::size_t begin = m_arena.size();
    Note(m_at, end, m_arena);
    m_notes.push_back(Span{begin, m_arena.size()});
    m_at = end + 1;
    return true;
  }

  // The number after a street's word: 12, or 12 after a word that marks it,
  // apart or joined (지하 12 or 지하12 is "B12", 산 12 "San 12").
  bool TakeNumber(std::string_view mark, std::string_view roman) {
    const std::string_view next = NextWord(m_at);
    if (IsNumber(next)) {
      m_typed.number = next;
      m_arena += next;
      ++m_at;
      return true;
    }
    std::string_view number;
    std::size_t words = 1;
    if (next == mark) {
      number = NextWord(m_at + 1);
      words = 2;
    } else if (StartsWith(next, mark)) {
      number = next.substr(mark.size());
    }
    if (!IsNumber(number)) return false;
    m_typed.number = number;
    m_typed.marked = true;
    m_arena += roman;
    m_arena += number;
    m_at += words;
    return true;
  }

  bool TakeRoad() {
    const std::string_view t = m_tokens[m_at].text;
    if (!MayEndARoad(LastTwo(t))) return false;
    // Right after an eup or a myeon, a word ending in 거리 is a village
    // (삼거리 is "Samgeo-ri"): the roads there are 로 and 길.
    if (!m_units.empty() && m_units.back().first == UnitKind::Town && EndsWith(t, kOfficialStreet)) return false;
    RoadParts road;
    if (!ParseRoad(t, road) && !ParsePass(t, NextWord(m_at + 1), road)) return false;
    ++m_at;
    m_typed.road = t;
    if (m_typed.cities.empty() && m_units.empty()) m_signs.typedForm = m_signs.typedForm || HoldsCityUnit(t);
    if (road.branch.type.empty() && ParseBranch(NextWord(m_at), road)) m_typed.branch = m_tokens[m_at++].text;
    const std::size_t begin = m_arena.size();
    if (TakeNumber(kOfficialBasement, "B")) {
      m_arena += ' ';
      // The data's answer is asked for now, so that its wait for memory
      // overlaps the road's romanization.
      if (m_database) AskForBuilding(*m_database, m_typed, m_matchScratch);
    }
    WriteRoad(road, m_arena);
    m_street = Span{begin, m_arena.size()};
    m_streetDone = true;
    return true;
  }

  // A si, gun or gu syllable inside a word, after a name and before more
  // (강남구개포로): a district run into a road, where no district stands apart.
  static bool HoldsCityUnit(std::string_view t) {
    for (std::size_t k = Cp949CharLength(t, 0); k + 2 < t.size(); k += Cp949CharLength(t, k)) {
      const std::uint16_t pair = LastTwo(t.substr(0, k + 2));
      if (pair == kUnitTails[kUnitSi] || pair == kUnitTails[kUnitGun] || pair == kUnitTails[kUnitGu]) return true;
    }
    return false;
  }

  // A unit; a locality followed by a number is the street.
  bool TakeUnit() {
    const std::string_view t = m_tokens[m_at].text;
    UnitParts unit;
    if (!ParseUnit(t, unit)) return false;
    ++m_at;
    const std::size_t begin = m_arena.size();
    const bool street = KindOf(unit.unit) == UnitKind::Locality && TakeNumber(kOfficialMountain, "San ");
    if (street) m_arena += ' ';
    WriteUnit(unit, m_arena);
    const Span written{begin, m_arena.size()};
    if (street) {
      m_typed.locality = t;
      m_street = written;
      m_streetDone = true;
    } else {
      m_units.emplace_back(KindOf(unit.unit), written);
      NoteUnit(t, KindOf(unit.unit));
    }
    return true;
  }

  // Where no road is, the street is the smallest locality named.
  void LocalityAsStreet() {
    if (m_street.size() != 0) return;
    for (auto it = m_units.rbegin(); it != m_units.rend(); ++it) {
      if (it->first == UnitKind::Locality) {
        m_street = it->second;
        m_units.erase(std::next(it).base());
        return;
      }
    }
  }

  // The groups from the smallest: details, street, district, region,
  // postcode, country; empty ones left out.
  void WriteAddress(std::string_view region, std::string_view country, bool fromDatabase, std::string& output,
                    AddressFields* fields) {
    // The details are one group, words apart; notes are each a group. A note
    // comes first, but never before an apartment, a floor or a room: it
    // follows those as it does in the Korean address.
    const std::size_t detailBegin = m_arena.size();
    if (!m_unitDetails) {
      for (const Span& note : m_notes) JoinSpan(detailBegin, note, kGroupSeparator);
    }
    for (std::size_t k = 0; k < m_details.size(); ++k) {
      if (m_arena.size() != detailBegin) m_arena += k == 0 ? kGroupSeparator : " ";
      m_arena.append(m_arena, m_details[k].begin, m_details[k].size());
    }
    if (m_unitDetails) {
      for (const Span& note : m_notes) JoinSpan(detailBegin, note, kGroupSeparator);
    }
    const Span detail{detailBegin, m_arena.size()};
    const std::size_t districtBegin = m_arena.size();
    for (auto it = m_units.rbegin(); it != m_units.rend(); ++it) JoinSpan(districtBegin, it->second, kGroupSeparator);
    const Span district{districtBegin, m_arena.size()};

    std::string_view groups[] = {View(detail), View(m_street), View(district), region, m_postcode, country};
    if (fromDatabase) UseAnswer(groups);
    std::size_t outputBytes = 0;
    for (std::string_view group : groups) outputBytes += group.size() + kGroupSeparator.size();
    output.clear();
    output.reserve(outputBytes);
    for (std::string_view group : groups) Join(output, 0, group, kGroupSeparator);
    if (fields) {
      fields->detail.assign(groups[0]);
      fields->street.assign(groups[1]);
      fields->district.assign(groups[2]);
      fields->region.assign(groups[3]);
      fields->postcode.assign(groups[4]);
      fields->country.assign(groups[5]);
      fields->source = fromDatabase ? kSourceDatabase : kSourceRules;
      if (fromDatabase && !m_answer.oldPostcode.empty()) fields->oldPostcode = m_answer.oldPostcode;
    }
    output.resize(CutAtCharacter(output, kOutputBufferBytes));
  }

  void Split(std::string_view text) {
    m_tokens.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find(' ', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view word = text.substr(start, end - start);
      start = end + 1;
      // A comma at the front of a word (",101동") ends the word before.
      while (!word.empty() && word.front() == ',') {
        word.remove_prefix(1);
        if (!m_tokens.empty()) m_tokens.back().commaEnded = true;
      }
      const bool comma = !word.empty() && word.back() == ',';
      if (comma) word.remove_suffix(1);
      if (word.empty()) {
        // A comma standing alone separates what stands before it.
        if (comma && !m_tokens.empty()) m_tokens.back().commaEnded = true;
        continue;
      }
      m_tokens.push_back(Token{word, comma});
    }
  }

  // The region at token i, in one word or in two ("서울 특별시").
  const PlaceRow* FindRegion(std::size_t i, std::size_t* words) const {
    if (i >= m_tokens.size()) return nullptr;
    const std::string_view first = m_tokens[i].text;
    if (i + 1 < m_tokens.size() && !m_tokens[i].commaEnded) {
      const std::string_view second = m_tokens[i + 1].text;
      for (std::string_view designation : kRegionDesignations) {
        if (second != designation) continue;
        for (const PlaceRow& row : kOfficialRegions) {
          if (row.korean.size() == first.size() + second.size() && StartsWith(row.korean, first) &&
              row.korean.substr(first.size()) == second) {
            *words = 2;
            return &row;
          }
        }
      }
    }
    const PlaceRow* row = FindRegionForm(first);
    if (row) *words = 1;
    return row;
  }

  // Address lists name the same districts and localities over and over, so
  // the romanization of short names is remembered. The engine is a pure
  // function of the bytes, so a remembered result is the result.
  void R(std::string_view name, std::string& out) {
    if (name.empty()) return;
    if (name.size() > NameCache::kMaxKey) {
      RomanizeName(m_engine, name, out);
      return;
    }
    NameCache::Entry& e = m_cache.At(name);
    if (e.size != name.size() || std::memcmp(e.key, name.data(), name.size()) != 0) {
      e.value.clear();
      RomanizeName(m_engine, name, e.value);
      std::memcpy(e.key, name.data(), name.size());
      e.size = static_cast<std::uint8_t>(name.size());
    }
    out += e.value;
  }

  // A name that ends in digits keeps them apart: 역삼1 is "Yeoksam 1".
  void UnitName(std::string_view name, std::string& out) {
    const std::size_t d = TrailingDigits(name);
    const std::string_view prefix = name.substr(0, name.size() - d);
    R(prefix, out);
    if (!prefix.empty() && d > 0) out += ' ';
    out += name.substr(prefix.size());
  }

  // NAME ROAD [[DIRECTION] BRANCH]. A type before the digits wins over a
  // number in the name (테헤란로7길 is "Teheran-ro 7-gil"), and 대로 over 로.
  static bool ParseRoad(std::string_view t, RoadParts& r) {
    if (ParseWholeName(t, r)) return true;
    std::string_view rest = t;
    RoadSegment last;
    if (!TakeSegment(rest, last, true)) return false;
    if (last.gil && ParseRoadBefore(rest, last, r)) return true;
    if (!last.letter.empty() && last.number.empty()) {
      // Not a branch after all: the letter belongs to the name.
      rest = t;
      TakeSegment(rest, last, false);
    }
    r.name = rest;
    r.road = last;
    return !r.name.empty() || !r.road.number.empty();
  }

  // The road before a branch, and a direction between them (산격로서9길 is
  // "Sangyeok-ro seo 9-gil"). A branch needs a number, or is 안 after a
  // numbered road or a direction after 로.
  static bool ParseRoadBefore(std::string_view head, const RoadSegment& branch, RoadParts& r) {
    if (branch.number.empty() && branch.letter.empty()) return false;
    const PlaceRow* direction = branch.number.empty() ? nullptr : EndRow(head, kRoadDirections, kDirectionTails);
    if (direction) head.remove_suffix(direction->korean.size());
    RoadSegment road;
    if (!TakeSegment(head, road, false) || (head.empty() && road.number.empty())) return false;
    if ((direction || branch.direction) && road.gil) return false;
    if (branch.number.empty() && !(branch.inner && !road.number.empty()) && !branch.direction) return false;
    r.name = head;
    r.road = road;
    r.direction = direction ? direction->roman : std::string_view();
    r.branch = branch;
    return true;
  }

  // Roads named without a type: 경인고속도로 is "Gyeongin Expressway", and a
  // name ending in 거리 is a street (가구거리 is "Gagugeori").
  static bool ParseWholeName(std::string_view t, RoadParts& r) {
    std::string_view name = t;
    if (TakeSuffix(name, kOfficialExpressway) && !name.empty()) {
      r.name = name;
      r.road.type = kExpressway;
      return true;
    }
    if (t.size() <= kOfficialStreet.size() || !EndsWith(t, kOfficialStreet)) return false;
    r.name = t;
    return true;
  }

  // A name ending in 고개 is a road when a number follows it (계변고개 1).
  static bool ParsePass(std::string_view t, std::string_view next, RoadParts& r) {
    if (t.size() <= kOfficialPass.size() || !EndsWith(t, kOfficialPass)) return false;
    if (!IsNumber(next) && !StartsWith(next, kOfficialBasement)) return false;
    r = RoadParts{};
    r.name = t;
    return true;
  }

  // A word that is only [DIRECTION] BRANCH ("12번길"), continuing the road
  // before it.
  static bool ParseBranch(std::string_view t, RoadParts& r) {
    if (LastTwo(t) != kGilTail) return false;
    std::string_view rest = t;
    RoadSegment branch;
    if (!TakeSegment(rest, branch, false) || !branch.gil || branch.number.empty()) return false;
    const PlaceRow* direction = EndRow(rest, kRoadDirections, kDirectionTails);
    if (direction) rest.remove_suffix(direction->korean.size());
    if (!rest.empty()) return false;
    r.direction = direction ? direction->roman : std::string_view();
    r.branch = branch;
    return true;
  }

  // "Sunae-ro 46beon-gil", "Doum 6-ro", "63-ro", "Sangyeok-ro seo 9-gil".
  void WriteRoad(const RoadParts& r, std::string& out) {
    const std::size_t begin = out.size();
    WriteName(r.name, out);
    if (out.size() != begin && !r.road.number.empty()) out += ' ';
    WriteSegment(r.road, out);
    if (r.branch.type.empty()) return;
    out += ' ';
    if (!r.direction.empty()) {
      out += r.direction;
      out += ' ';
    }
    WriteSegment(r.branch, out);
  }

  static void WriteSegment(const RoadSegment& s, std::string& out) {
    if (s.number.size() == TrailingDigits(s.number)) {
      out += s.number;
    } else {
      // A full stop for each middle dot between the digits.
      for (std::size_t k = 0; k < s.number.size();) {
        const bool digit = IsDigit(s.number[k]);
        out += digit ? s.number[k] : '.';
        k += digit ? 1 : 2;
      }
    }
    if (s.beon) out += "beon";
    if (!s.subNumber.empty()) {
      out += ' ';
      out += s.subNumber;
    }
    if (!s.letter.empty()) out += s.letter;
    out += s.type;
  }

  // A road's name; a middle dot between digits is a full stop (5·18 is 5.18).
  void WriteName(std::string_view name, std::string& out) {
    std::size_t start = 0;
    for (std::size_t k = 1; k + 2 < name.size(); ++k) {
      if (IsDigit(name[k - 1]) && IsDot(name.substr(k, 2)) && IsDigit(name[k + 2])) {
        R(name.substr(start, k - start), out);
        out += '.';
        start = k + 2;
      }
    }
    R(name.substr(start), out);
  }

  // A word ending in a unit syllable after a name.
  static bool ParseUnit(std::string_view t, UnitParts& u) {
    if (t.size() <= 2) return false;  // a unit syllable needs a name before it
    switch (LastTwo(t)) {
      case kUnitTails[kUnitSi]: u.unit = kUnitSi; break;
      case kUnitTails[kUnitGu]: u.unit = kUnitGu; break;
      case kUnitTails[kUnitGun]: u.unit = kUnitGun; break;
      case kUnitTails[kUnitEup]: u.unit = kUnitEup; break;
      case kUnitTails[kUnitMyeon]: u.unit = kUnitMyeon; break;
      case kUnitTails[kUnitDong]: u.unit = kUnitDong; break;
      case kUnitTails[kUnitGa]: u.unit = kUnitGa; break;
      case kUnitTails[kUnitRi]: u.unit = kUnitRi; break;
      default: return false;
    }
    u.name = t.substr(0, t.size() - 2);
    return true;
  }

  void WriteUnit(const UnitParts& u, std::string& out) {
    UnitName(u.name, out);
    out += kUnitSyllables[u.unit].suffix;
  }

  // 101동, 1004호, 3층 or 지하1층: a detail of the building's units.
  static bool IsUnitDetail(std::string_view t) {
    const std::uint16_t tail = LastTwo(t);
    if (tail != kFloorTail && tail != kDongTail && tail != kHoTail) return false;
    std::string_view head = t.substr(0, t.size() - 2);
    if (StartsWith(head, kOfficialBasement)) head.remove_prefix(kOfficialBasement.size());
    return AllDigits(head);
  }

  // A detail that is a typed form of something else: a number run into
  // its details (101동1203호, 516,101동, B1층), a postcode in brackets or
  // with its label (우), an old code, 185번지, full-width digits. A lot
  // range (53∼469) and other details that start with digits are not.
  static bool IsTypedDetail(std::string_view t) {
    const auto first = static_cast<unsigned char>(t[0]);
    if (first == '[' || first == 0xA3 || (t[0] == 'B' && t.size() > 1 && IsDigit(t[1]))) return true;
    if (t[0] == '(') t.remove_prefix(1);
    // Most details are names: one whose first byte starts no digit, 우,
    // 산 or 번 is passed at once.
    if (t.empty() ||
        (!IsDigit(t[0]) && t[0] != kTypedPostLabel[0] && t[0] != kOfficialMountain[0] && t[0] != kTypedLot[0])) {
      return false;
    }
    if (!IsDigit(t[0]) && !StartsWith(t, kTypedPostLabel) && !StartsWith(t, kOfficialMountain) &&
        !StartsWith(t, kTypedLot)) {
      return false;
    }
    if (StartsWith(t, kTypedPostLabel)) {
      return t.size() > 2 && (t[2] == ')' || StartsWith(t.substr(2), "\xC6\xED"));  // 우) or 우편
    }
    if (IsUnitDetail(t)) return false;
    if (t.find(kTypedLot) != std::string_view::npos) return true;
    std::size_t digits = 0;
    while (digits < t.size() && IsDigit(t[digits])) ++digits;
    if (digits == 0 || digits == t.size()) return digits == 6;
    // 135-080; 101동1203호, 3층301호; 516,101동
    const std::string_view rest = t.substr(digits);
    if (digits == 3 && rest.size() >= 4 && rest[0] == '-' && AllDigits(rest.substr(1, 3))) return true;
    const std::uint16_t unit = LastTwo(rest.substr(0, std::min<std::size_t>(2, rest.size())));
    return rest[0] == ',' || static_cast<unsigned char>(rest[0]) == 0xA3 ||
           ((unit == kDongTail || unit == kFloorTail) && rest.size() > 2 && IsDigit(rest[2]));
  }

  // One word after the street: 101동, 1004호, 3층, 지하1층, a building word,
  // or the word romanized.
  void Detail(std::string_view t, std::string& out) {
    const std::uint16_t tail = LastTwo(t);
    std::string_view floor = t;
    const bool basement = StartsWith(floor, kOfficialBasement);
    if (basement) floor.remove_prefix(kOfficialBasement.size());
    if (tail == kFloorTail && AllDigits(floor.substr(0, floor.size() - kOfficialFloor.size()))) {
      if (basement) out += 'B';
      out += floor.substr(0, floor.size() - kOfficialFloor.size());
      out += 'F';
      return;
    }
    if (t.size() > kOfficialDong.size() && tail == kDongTail) {
      UnitName(t.substr(0, t.size() - kOfficialDong.size()), out);
      out += "-dong";
      return;
    }
    if (t.size() > kOfficialHo.size() && tail == kHoTail) {
      UnitName(t.substr(0, t.size() - kOfficialHo.size()), out);
      out += "-ho";
      return;
    }
    for (std::size_t k = 0; k < std::size(kBuildingWords); ++k) {
      const BuildingWordRow& row = kBuildingWords[k];
      if (tail != kBuildingTails[k] || !EndsWith(t, row.korean)) continue;
      const std::string_view name = t.substr(0, t.size() - row.korean.size());
      R(name, out);
      if (!name.empty()) out += ' ';
      out += row.english;
      return;
    }
    R(t, out);
  }

  // Tokens first..last in round brackets, converted word by word; the
  // commas between its parts stay.
  void Note(std::size_t first, std::size_t last, std::string& out) {
    out += '(';
    for (std::size_t k = first; k <= last; ++k) {
      std::string_view t = m_tokens[k].text;
      if (k == first) t.remove_prefix(1);
      if (k == last) t.remove_suffix(1);
      UnitParts unit;
      if (ParseUnit(t, unit)) {
        WriteUnit(unit, out);
      } else if (!t.empty()) {
        Detail(t, out);
      }
      if (k < last) out += m_tokens[k].commaEnded ? kGroupSeparator : " ";
    }
    out += ')';
  }

  std::vector<Token> m_tokens;
  std::string m_arena;  // the Roman text of every part of the address
  std::vector<Span> m_notes;
  std::vector<Span> m_details;
  std::vector<std::pair<UnitKind, Span>> m_units;
  std::size_t m_at = 0;  // the token being read
  std::string_view m_postcode;
  Span m_street{0, 0};
  bool m_streetDone = false;
  bool m_unitDetails = false;  // a detail is an apartment, a floor or a room
  bool m_box = false;          // a detail is a post-office box
  NameCache m_cache;
  TypedAddress m_typed;
  DatabaseAnswer m_answer;
  std::string m_answerBytes;
  MatchScratch m_matchScratch;
  const AddressDatabase* m_database = nullptr;  // the one of the text being read
  ReadingSigns m_signs;
  HangulRomanizer m_engine{Style::Official};
};

}  // namespace

struct OfficialConverters::Parts {
  OfficialAddress addresses[2] = {OfficialAddress(false), OfficialAddress(true)};
};

OfficialConverters::OfficialConverters() : m_parts(std::make_unique<Parts>()) {}
OfficialConverters::~OfficialConverters() = default;

bool OfficialConverters::Convert(std::string_view text, std::string_view country, bool privateCodes,
                                 std::string& output, AddressFields* fields, const DatabaseUse& use) {
  return m_parts->addresses[privateCodes].Convert(text, country, use, output, fields);
}

const ReadingSigns& OfficialConverters::LastSigns(bool privateCodes) const {
  return m_parts->addresses[privateCodes].signs();
}

const TypedAddress& OfficialConverters::LastTyped(bool privateCodes) const {
  return m_parts->addresses[privateCodes].typed();
}

}  // namespace jasokit::detail

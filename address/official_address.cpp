#include "address/official_address.h"

#include <array>
#include <cstring>
#include <iterator>
#include <vector>

#include "address/address_converter.h"
#include "address/address_tables.h"
#include "address/official_tables.h"
#include "addrdb/address_match.h"
#include "romanize/hangul_romanizer.h"

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

constexpr auto kBranchTails = Tails(kRoadBranches, [](const PlaceRow& r) { return r.korean; });
constexpr auto kTypeTails = Tails(kRoadTypes, [](const PlaceRow& r) { return r.korean; });
constexpr auto kUnitTails = Tails(kUnitSyllables, [](const UnitSyllable& r) { return r.syllable; });
static_assert([] {
  for (const UnitSyllable& u : kUnitSyllables) {
    if (u.syllable.size() != 2) return false;
  }
  return true;
}(), "ParseUnit takes a unit syllable for its last two bytes");
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

constexpr std::uint16_t kFloorTail = LastTwo(kOfficialFloor);
constexpr std::uint16_t kDongTail = LastTwo(kOfficialDong);
constexpr std::uint16_t kHoTail = LastTwo(kOfficialHo);

bool StartsWith(std::string_view text, std::string_view word) {
  return text.size() >= word.size() && text.compare(0, word.size(), word) == 0;
}

// The pieces of a road word: NAME [N1] TYPE [N2 BRANCH].
struct RoadParts {
  std::string_view name;
  std::string_view number;
  std::string_view type;  // its Roman text
  std::string_view branchNumber;
  std::string_view branch;  // its Roman text
};

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
    std::size_t i = 0;
    std::string_view postcode;
    if (!m_tokens.empty() && IsPostcode(m_tokens[0].text, &postcode)) i = 1;
    std::size_t regionWords = 0;
    const PlaceRow* region = FindRegion(i, &regionWords);
    if (region == nullptr) return false;
    i += regionWords;
    m_typed.Clear();
    m_typed.regionRoman = region->roman;

    m_arena.clear();
    m_notes.clear();
    m_details.clear();
    m_units.clear();
    Span street{0, 0};
    bool streetDone = false;
    const std::size_t n = m_tokens.size();
    // The token at i unless it is the postcode, which is taken wherever it stands.
    auto nextWord = [&](std::size_t at) -> std::string_view {
      std::string_view digits;
      if (at >= n || (postcode.empty() && IsPostcode(m_tokens[at].text, &digits))) return {};
      return m_tokens[at].text;
    };
    // Where no road is, the street is the smallest locality named.
    auto localityAsStreet = [&] {
      if (street.size() != 0) return;
      for (auto it = m_units.rbegin(); it != m_units.rend(); ++it) {
        if (it->first == UnitKind::Locality) {
          street = it->second;
          m_units.erase(std::next(it).base());
          return;
        }
      }
    };

    while (i < n) {
      const std::string_view t = m_tokens[i].text;
      std::string_view digits;
      if (postcode.empty() && IsPostcode(t, &digits)) {
        postcode = digits;
        ++i;
        continue;
      }
      if (t.front() == '(') {
        std::size_t end = i;
        while (end < n && m_tokens[end].text.back() != ')') ++end;
        if (end < n) {
          const std::size_t begin = m_arena.size();
          Note(i, end, m_arena);
          m_notes.push_back(Span{begin, m_arena.size()});
          i = end + 1;
          continue;
        }
      }
      if (streetDone) {
        const std::size_t begin = m_arena.size();
        Detail(t, m_arena);
        m_details.push_back(Span{begin, m_arena.size()});
        ++i;
        continue;
      }
      RoadParts road;
      if (ParseRoad(t, road)) {
        ++i;
        m_typed.road = t;
        if (road.branch.empty() && ParseBranch(nextWord(i), road)) m_typed.branch = m_tokens[i++].text;
        const std::size_t begin = m_arena.size();
        const std::string_view next = nextWord(i);
        if (IsNumber(next)) {
          m_typed.number = next;
          m_arena += next;
          ++i;
        } else if (next == kOfficialBasement && IsNumber(nextWord(i + 1))) {
          m_typed.number = nextWord(i + 1);
          m_typed.marked = true;
          m_arena += 'B';
          m_arena += nextWord(i + 1);
          i += 2;
        } else if (StartsWith(next, kOfficialBasement) && IsNumber(next.substr(kOfficialBasement.size()))) {
          m_typed.number = next.substr(kOfficialBasement.size());
          m_typed.marked = true;
          m_arena += 'B';
          m_arena += next.substr(kOfficialBasement.size());
          ++i;
        }
        if (m_arena.size() != begin) m_arena += ' ';
        WriteRoad(road, m_arena);
        street = Span{begin, m_arena.size()};
        streetDone = true;
        continue;
      }
      UnitParts unit;
      if (ParseUnit(t, unit)) {
        ++i;
        const std::size_t begin = m_arena.size();
        if (KindOf(unit.unit) == UnitKind::Locality) {
          const std::string_view next = nextWord(i);
          if (IsNumber(next)) {
            m_typed.number = next;
            m_arena += next;
            ++i;
          } else if (next == kOfficialMountain && IsNumber(nextWord(i + 1))) {
            m_typed.number = nextWord(i + 1);
            m_typed.marked = true;
            m_arena += "San ";
            m_arena += nextWord(i + 1);
            i += 2;
          } else if (StartsWith(next, kOfficialMountain) && IsNumber(next.substr(kOfficialMountain.size()))) {
            m_typed.number = next.substr(kOfficialMountain.size());
            m_typed.marked = true;
            m_arena += "San ";
            m_arena += next.substr(kOfficialMountain.size());
            ++i;
          }
          if (m_arena.size() != begin) {
            m_typed.locality = t;
            m_arena += ' ';
            WriteUnit(unit, m_arena);
            street = Span{begin, m_arena.size()};
            streetDone = true;
            continue;
          }
        }
        WriteUnit(unit, m_arena);
        m_units.emplace_back(KindOf(unit.unit), Span{begin, m_arena.size()});
        NoteUnit(t, KindOf(unit.unit));
        continue;
      }
      // Anything else ends the street: the rest is detail.
      localityAsStreet();
      streetDone = true;
      const std::size_t begin = m_arena.size();
      Detail(t, m_arena);
      m_details.push_back(Span{begin, m_arena.size()});
      ++i;
    }
    localityAsStreet();

    // The details are one group, words apart; notes come first, each a group.
    const std::size_t detailBegin = m_arena.size();
    for (const Span& note : m_notes) JoinSpan(detailBegin, note, kGroupSeparator);
    for (std::size_t k = 0; k < m_details.size(); ++k) {
      if (m_arena.size() != detailBegin) m_arena += k == 0 ? kGroupSeparator : " ";
      m_arena.append(m_arena, m_details[k].begin, m_details[k].size());
    }
    const Span detail{detailBegin, m_arena.size()};
    const std::size_t districtBegin = m_arena.size();
    for (auto it = m_units.rbegin(); it != m_units.rend(); ++it) JoinSpan(districtBegin, it->second, kGroupSeparator);
    const Span district{districtBegin, m_arena.size()};
    const std::string_view countryText = country.empty() ? kOfficialCountry : country;

    std::string_view groups[] = {View(detail), View(street), View(district), region->roman, postcode, countryText};
    const bool fromDatabase = use.database && AnswerFromDatabase(*use.database, m_typed, use.keepLot, m_answer);
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
    }
    output.resize(CutAtCharacter(output, kOutputBufferBytes));
    return true;
  }

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

  // The data's parts replace the rules' where it has them; a postcode the
  // text gives stays.
  void UseAnswer(std::string_view (&groups)[6]) const {
    if (!m_answer.street.empty()) groups[1] = m_answer.street;
    if (!m_answer.district.empty()) groups[2] = m_answer.district;
    if (!m_answer.region.empty()) groups[3] = m_answer.region;
    if (groups[4].empty()) groups[4] = m_answer.postcode;
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

  void Split(std::string_view text) {
    m_tokens.clear();
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find(' ', start);
      if (end == std::string_view::npos) end = text.size();
      std::string_view word = text.substr(start, end - start);
      start = end + 1;
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

  // NAME [N1] before a type; false when both are empty.
  static bool SplitRoadName(std::string_view nameAndNumber, RoadParts& r) {
    const std::size_t d = TrailingDigits(nameAndNumber);
    r.name = nameAndNumber.substr(0, nameAndNumber.size() - d);
    r.number = nameAndNumber.substr(r.name.size());
    return !nameAndNumber.empty();
  }

  // NAME [N1] TYPE [N2 BRANCH]. A type before the digits wins over a number
  // in the name (테헤란로7길 is "Teheran-ro 7-gil"), and 대로 over 로.
  static bool ParseRoad(std::string_view t, RoadParts& r) {
    const std::uint16_t tail = LastTwo(t);
    for (std::size_t b = 0; b < std::size(kRoadBranches); ++b) {
      const PlaceRow& branch = kRoadBranches[b];
      if (tail != kBranchTails[b] || !EndsWith(t, branch.korean)) continue;
      const std::string_view rest = t.substr(0, t.size() - branch.korean.size());
      const std::size_t d = TrailingDigits(rest);
      if (d == 0) continue;
      const std::string_view before = rest.substr(0, rest.size() - d);
      for (const PlaceRow& type : kRoadTypes) {
        if (!EndsWith(before, type.korean)) continue;
        if (!SplitRoadName(before.substr(0, before.size() - type.korean.size()), r)) break;
        r.type = type.roman;
        r.branchNumber = rest.substr(before.size());
        r.branch = branch.roman;
        return true;
      }
    }
    for (std::size_t k = 0; k < std::size(kRoadTypes); ++k) {
      const PlaceRow& type = kRoadTypes[k];
      if (tail != kTypeTails[k] || !EndsWith(t, type.korean)) continue;
      if (!SplitRoadName(t.substr(0, t.size() - type.korean.size()), r)) return false;
      r.type = type.roman;
      return true;
    }
    return false;
  }

  // A word that is only N2 BRANCH ("12번길"), continuing the road before it.
  static bool ParseBranch(std::string_view t, RoadParts& r) {
    const std::uint16_t tail = LastTwo(t);
    for (std::size_t b = 0; b < std::size(kRoadBranches); ++b) {
      const PlaceRow& branch = kRoadBranches[b];
      if (tail != kBranchTails[b] || !EndsWith(t, branch.korean)) continue;
      const std::string_view number = t.substr(0, t.size() - branch.korean.size());
      if (!AllDigits(number)) return false;
      r.branchNumber = number;
      r.branch = branch.roman;
      return true;
    }
    return false;
  }

  // "Sunae-ro 46beon-gil", "Doum 6-ro", "63-ro".
  void WriteRoad(const RoadParts& r, std::string& out) {
    R(r.name, out);
    if (!r.name.empty() && !r.number.empty()) out += ' ';
    out += r.number;
    out += r.type;
    if (r.branch.empty()) return;
    out += ' ';
    out += r.branchNumber;
    out += r.branch;
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
  NameCache m_cache;
  TypedAddress m_typed;
  DatabaseAnswer m_answer;
  HangulRomanizer m_engine{Style::Official};
};

}  // namespace

bool ConvertOfficialAddress(std::string_view text, std::string_view country, bool privateCodes,
                            std::string& output, AddressFields* fields, const DatabaseUse& use) {
  // Reused on each thread: a conversion replaces all its state, and its
  // buffers stay.
  thread_local OfficialAddress addresses[2] = {OfficialAddress(false), OfficialAddress(true)};
  return addresses[privateCodes].Convert(text, country, use, output, fields);
}

}  // namespace jasokit::detail

#include "address/official_address.h"

#include <vector>

#include "address/address_converter.h"
#include "address/address_tables.h"
#include "address/official_tables.h"
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

bool StartsWith(std::string_view text, std::string_view word) {
  return text.size() >= word.size() && text.compare(0, word.size(), word) == 0;
}

class OfficialAddress {
 public:
  explicit OfficialAddress(bool privateCodes) {
    if (privateCodes) EngineAccess::UsePrivateCodes(m_engine);
  }

  bool Convert(std::string_view text, std::string_view country, std::string& output, AddressFields& fields) {
    Split(text);
    std::size_t i = 0;
    std::string_view postcode;
    if (!m_tokens.empty() && IsPostcode(m_tokens[0].text, &postcode)) i = 1;
    std::size_t regionWords = 0;
    const PlaceRow* region = FindRegion(i, &regionWords);
    if (region == nullptr) return false;
    i += regionWords;

    std::vector<std::string> notes;
    std::vector<std::string> details;
    std::vector<std::pair<UnitKind, std::string>> units;
    std::string street;
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
      if (!street.empty()) return;
      for (auto it = units.rbegin(); it != units.rend(); ++it) {
        if (it->first == UnitKind::Locality) {
          street = it->second;
          units.erase(std::next(it).base());
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
          notes.push_back(Note(i, end));
          i = end + 1;
          continue;
        }
      }
      if (streetDone) {
        details.push_back(Detail(t));
        ++i;
        continue;
      }
      std::string part;
      bool branched = false;
      if (Road(t, part, &branched)) {
        ++i;
        if (!branched && Branch(nextWord(i), part)) ++i;
        std::string number;
        const std::string_view next = nextWord(i);
        if (IsNumber(next)) {
          number.assign(next);
          ++i;
        } else if (next == kOfficialBasement && IsNumber(nextWord(i + 1))) {
          number = "B" + std::string(nextWord(i + 1));
          i += 2;
        } else if (StartsWith(next, kOfficialBasement) && IsNumber(next.substr(kOfficialBasement.size()))) {
          number = "B" + std::string(next.substr(kOfficialBasement.size()));
          ++i;
        }
        street = number.empty() ? part : number + " " + part;
        streetDone = true;
        continue;
      }
      Unit unit;
      if (UnitPart(t, part, &unit)) {
        ++i;
        if (KindOf(unit) == UnitKind::Locality) {
          std::string lot;
          const std::string_view next = nextWord(i);
          if (IsNumber(next)) {
            lot.assign(next);
            ++i;
          } else if (next == kOfficialMountain && IsNumber(nextWord(i + 1))) {
            lot = "San " + std::string(nextWord(i + 1));
            i += 2;
          } else if (StartsWith(next, kOfficialMountain) && IsNumber(next.substr(kOfficialMountain.size()))) {
            lot = "San " + std::string(next.substr(kOfficialMountain.size()));
            ++i;
          }
          if (!lot.empty()) {
            street = lot + " " + part;
            streetDone = true;
            continue;
          }
        }
        units.emplace_back(KindOf(unit), std::move(part));
        continue;
      }
      // Anything else ends the street: the rest is detail.
      localityAsStreet();
      streetDone = true;
      details.push_back(Detail(t));
      ++i;
    }
    localityAsStreet();

    fields.detail.clear();
    for (const std::string& note : notes) Join(fields.detail, note);
    std::string detailWords;
    for (const std::string& d : details) {
      if (!detailWords.empty()) detailWords += ' ';
      detailWords += d;
    }
    Join(fields.detail, detailWords);
    fields.street = street;
    fields.district.clear();
    for (auto it = units.rbegin(); it != units.rend(); ++it) Join(fields.district, it->second);
    fields.region.assign(region->roman);
    fields.postcode.assign(postcode);
    fields.country.assign(country.empty() ? kOfficialCountry : country);

    output.clear();
    for (const std::string* group :
         {&fields.detail, &fields.street, &fields.district, &fields.region, &fields.postcode, &fields.country}) {
      Join(output, *group);
    }
    output.resize(CutAtCharacter(output, kOutputBufferBytes));
    return true;
  }

 private:
  static void Join(std::string& out, std::string_view group) {
    if (group.empty()) return;
    if (!out.empty()) out += kGroupSeparator;
    out += group;
  }

  void Split(std::string_view text) {
    m_tokens.clear();
    std::size_t start = 0;
    for (std::size_t p = 0; p <= text.size(); ++p) {
      if (p < text.size() && text[p] != ' ') continue;
      Token t{text.substr(start, p - start)};
      start = p + 1;
      if (!t.text.empty() && t.text.back() == ',') {
        t.text.remove_suffix(1);
        t.commaEnded = true;
      }
      if (t.text.empty()) {
        // A comma standing alone separates what stands before it.
        if (t.commaEnded && !m_tokens.empty()) m_tokens.back().commaEnded = true;
        continue;
      }
      m_tokens.push_back(t);
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
    for (const PlaceRow& row : kOfficialRegions) {
      if (row.korean == first) {
        *words = 1;
        return &row;
      }
    }
    return nullptr;
  }

  std::string R(std::string_view name) {
    std::string out;
    RomanizeName(m_engine, name, out);
    return out;
  }

  // A name that ends in digits keeps them apart: 역삼1 is "Yeoksam 1".
  std::string UnitName(std::string_view name) {
    const std::size_t d = TrailingDigits(name);
    if (d == 0) return R(name);
    const std::string_view prefix = name.substr(0, name.size() - d);
    if (prefix.empty()) return std::string(name);
    return R(prefix) + " " + std::string(name.substr(prefix.size()));
  }

  // NAME [N1] with its type: "Sunae-ro", "Doum 6-ro", "63-ro".
  bool RoadBase(std::string_view nameAndNumber, std::string_view type, std::string& out) {
    const std::size_t d = TrailingDigits(nameAndNumber);
    const std::string_view name = nameAndNumber.substr(0, nameAndNumber.size() - d);
    const std::string_view number = nameAndNumber.substr(name.size());
    if (name.empty() && number.empty()) return false;
    out = R(name);
    if (!name.empty() && !number.empty()) out += ' ';
    out += number;
    out += type;
    return true;
  }

  // NAME [N1] TYPE [N2 BRANCH]. A type before the digits wins over a number
  // in the name (테헤란로7길 is "Teheran-ro 7-gil"), and 대로 over 로.
  bool Road(std::string_view t, std::string& out, bool* branched) {
    for (const PlaceRow& branch : kRoadBranches) {
      if (!EndsWith(t, branch.korean)) continue;
      const std::string_view rest = t.substr(0, t.size() - branch.korean.size());
      const std::size_t d = TrailingDigits(rest);
      if (d == 0) continue;
      const std::string_view before = rest.substr(0, rest.size() - d);
      for (const PlaceRow& type : kRoadTypes) {
        if (!EndsWith(before, type.korean)) continue;
        if (!RoadBase(before.substr(0, before.size() - type.korean.size()), type.roman, out)) break;
        out += ' ';
        out += rest.substr(before.size());
        out += branch.roman;
        *branched = true;
        return true;
      }
    }
    for (const PlaceRow& type : kRoadTypes) {
      if (EndsWith(t, type.korean)) return RoadBase(t.substr(0, t.size() - type.korean.size()), type.roman, out);
    }
    return false;
  }

  // A word that is only N2 BRANCH ("12번길"), continuing the road before it.
  bool Branch(std::string_view t, std::string& road) {
    for (const PlaceRow& branch : kRoadBranches) {
      if (!EndsWith(t, branch.korean)) continue;
      const std::string_view number = t.substr(0, t.size() - branch.korean.size());
      if (!AllDigits(number)) return false;
      road += ' ';
      road += number;
      road += branch.roman;
      return true;
    }
    return false;
  }

  // A word ending in a unit syllable after a name: R(name) + its suffix.
  bool UnitPart(std::string_view t, std::string& out, Unit* unit) {
    for (int u = kUnitSi; u <= kUnitRi; ++u) {
      const UnitSyllable& s = kUnitSyllables[u];
      if (t.size() > s.syllable.size() && EndsWith(t, s.syllable)) {
        out = UnitName(t.substr(0, t.size() - s.syllable.size()));
        out += s.suffix;
        *unit = static_cast<Unit>(u);
        return true;
      }
    }
    return false;
  }

  // One word after the street: 101동, 1004호, 3층, 지하1층, a building word,
  // or the word romanized.
  std::string Detail(std::string_view t) {
    std::string_view floor = t;
    const bool basement = StartsWith(floor, kOfficialBasement);
    if (basement) floor.remove_prefix(kOfficialBasement.size());
    if (EndsWith(floor, kOfficialFloor) && AllDigits(floor.substr(0, floor.size() - kOfficialFloor.size()))) {
      return (basement ? "B" : "") + std::string(floor.substr(0, floor.size() - kOfficialFloor.size())) + "F";
    }
    if (t.size() > kOfficialDong.size() && EndsWith(t, kOfficialDong)) {
      return UnitName(t.substr(0, t.size() - kOfficialDong.size())) + "-dong";
    }
    if (t.size() > kOfficialHo.size() && EndsWith(t, kOfficialHo)) {
      return UnitName(t.substr(0, t.size() - kOfficialHo.size())) + "-ho";
    }
    for (const BuildingWordRow& row : kBuildingWords) {
      if (!EndsWith(t, row.korean)) continue;
      const std::string_view name = t.substr(0, t.size() - row.korean.size());
      return name.empty() ? std::string(row.english) : R(name) + " " + std::string(row.english);
    }
    return R(t);
  }

  // Tokens first..last in round brackets, converted word by word; the
  // commas between its parts stay.
  std::string Note(std::size_t first, std::size_t last) {
    std::string out = "(";
    for (std::size_t k = first; k <= last; ++k) {
      std::string_view t = m_tokens[k].text;
      if (k == first) t.remove_prefix(1);
      if (k == last) t.remove_suffix(1);
      std::string part;
      Unit unit;
      if (!t.empty()) out += UnitPart(t, part, &unit) ? part : Detail(t);
      if (k < last) out += m_tokens[k].commaEnded ? kGroupSeparator : " ";
    }
    out += ')';
    return out;
  }

  std::vector<Token> m_tokens;
  HangulRomanizer m_engine{Style::Official};
};

}  // namespace

bool ConvertOfficialAddress(std::string_view text, std::string_view country, bool privateCodes,
                            std::string& output, AddressFields& fields) {
  OfficialAddress address(privateCodes);
  return address.Convert(text, country, output, fields);
}

}  // namespace jasokit::detail

#include "address/address_match.h"

#include <optional>

#include "addrdb/address_db_reader.h"
#include "jasokit/cp949.h"

namespace jasokit::detail {

using namespace addrdb;

namespace {

// A road address's road name (UTF-8, into name), number, and the hash
// table's name hash and key; false for a number past 32767 (none is real),
// which is left to the rules, or no number at all.
bool BuildingKey(const TypedAddress& typed, std::string& name, Number& number, std::uint32_t& nameHash,
                 std::uint32_t& key) {
  if (!ParseNumber(typed.number, number)) return false;
  key = RowKey(typed.marked, number.main, number.sub);
  if (!KeyIsExact(key)) return false;
  name.clear();
  Cp949ToUtf8(typed.road, name);
  Cp949ToUtf8(typed.branch, name);
  nameHash = NameHash(name);
  return true;
}

class Matcher {
 public:
  Matcher(const DatabaseReader& db, const TypedAddress& typed, MatchScratch& scratch)
      : m_db(db), m_typed(typed), m_scratch(scratch) {
    scratch.cities.resize(typed.cities.size());
    for (std::size_t k = 0; k < typed.cities.size(); ++k) {
      scratch.cities[k].clear();
      Cp949ToUtf8(typed.cities[k], scratch.cities[k]);
    }
    scratch.town.clear();
    Cp949ToUtf8(typed.town, scratch.town);
    scratch.candidates.clear();
  }

  bool Fits(const RoadRecord& road) const {
    const std::string_view city = m_db.Str(road.city);
    const std::size_t space = city.find(' ');
    for (const std::string& word : m_scratch.cities) {
      const bool named = word == city || (space != std::string_view::npos &&
                                          (word == city.substr(0, space) || word == city.substr(space + 1)));
      if (!named) return false;
    }
    if (!m_scratch.town.empty() && m_scratch.town != m_db.Str(road.town)) return false;
    // An address without its region is placed by the rest.
    if (m_typed.regionRoman.empty()) return true;
    // The English name mostly agrees with the region table's; the Korean
    // name decides where it does not.
    return m_db.Str(road.regionEn) == m_typed.regionRoman || RegionRoman(m_db.Str(road.region)) == m_typed.regionRoman;
  }

  void AtRoad() {
    Number number;
    std::uint32_t nameHash, key;
    if (!BuildingKey(m_typed, m_scratch.name, number, nameHash, key)) return;
    const std::string& name = m_scratch.name;
    std::vector<BuildingSlot>& slots = m_scratch.slots;
    slots.clear();
    m_db.BuildingsAt(nameHash, key, slots);
    // Their roads, and then the names to compare, asked for together.
    if (slots.size() <= kRoadPrefetchLimit) {
      std::uint32_t roads[kRoadPrefetchLimit] = {};
      for (std::size_t k = 0; k < slots.size(); ++k) roads[k] = slots[k].road;
      m_db.AskForRoads(roads, slots.size(), false);
    }
    for (const BuildingSlot& slot : slots) {
      const auto road = m_db.Road(slot.road);
      if (!road || m_db.Str(road->name) != name || !Fits(*road)) continue;
      m_scratch.candidates.push_back(
          MatchCandidate{*road, RowBrief{m_typed.marked, number.main, number.sub, slot.postcode}});
    }
  }

  void AtLot() {
    std::string& locality = m_scratch.name;
    locality.clear();
    Cp949ToUtf8(m_typed.locality, locality);
    Number lot;
    if (!ParseNumber(m_typed.number, lot)) return;
    lot.marked = m_typed.marked;
    m_scratch.rows.clear();
    m_db.RowsAtLot(locality, lot, m_scratch.rows);
    for (std::uint32_t i : m_scratch.rows) {
      const auto row = m_db.Row(i);
      const auto road = row ? m_db.Road(row->road) : std::nullopt;
      if (road && Fits(*road)) m_scratch.candidates.push_back(MatchCandidate{*road, BriefOf(*row)});
    }
  }

 private:
  const DatabaseReader& m_db;
  const TypedAddress& m_typed;
  MatchScratch& m_scratch;
};

// What the answer of one candidate would hold, as views and numbers, so that
// candidates are compared without building their texts.
struct AnswerKey {
  bool street = false;  // the data has the road's English
  bool basement = false;
  std::uint32_t main = 0, sub = 0;
  std::string_view roadEn;
  std::string_view district[2];  // town and city, the empty ones left out
  std::size_t districtParts = 0;
  std::string_view region;
  std::uint32_t postcode = 0;

  bool SameStreet(const AnswerKey& o) const {
    if (street != o.street) return false;
    return !street || (basement == o.basement && main == o.main && sub == o.sub && roadEn == o.roadEn);
  }
  bool SamePlace(const AnswerKey& o) const {
    if (districtParts != o.districtParts || region != o.region) return false;
    for (std::size_t k = 0; k < districtParts; ++k) {
      if (district[k] != o.district[k]) return false;
    }
    return true;
  }
};

// A part the data has no English for is left to the rules (empty).
AnswerKey KeyOf(const DatabaseReader& db, const MatchCandidate& c) {
  AnswerKey k;
  k.roadEn = db.Str(c.road.nameEn);
  k.street = !k.roadEn.empty();
  k.basement = c.row.basement;
  k.main = c.row.main;
  k.sub = c.row.sub;
  const std::string_view town = db.Str(c.road.town), townEn = db.Str(c.road.townEn);
  const std::string_view city = db.Str(c.road.city), cityEn = db.Str(c.road.cityEn);
  if ((town.empty() || !townEn.empty()) && (city.empty() || !cityEn.empty())) {
    for (const std::string_view part : {townEn, cityEn}) {
      if (!part.empty()) k.district[k.districtParts++] = part;
    }
  }
  k.region = db.Str(c.road.regionEn);
  if (k.region.empty()) k.region = RegionRoman(db.Str(c.road.region));
  k.postcode = c.row.postcode;
  return k;
}

void WriteAnswer(const DatabaseReader& db, const MatchCandidate& c, const AnswerKey& key,
                 DatabaseAnswer& answer) {
  answer.street.clear();
  if (key.street) db.EnglishStreet(c.road, c.row, answer.street);
  answer.district.clear();
  for (std::size_t k = 0; k < key.districtParts; ++k) {
    if (k != 0) answer.district += ", ";
    answer.district += key.district[k];
  }
  answer.region.assign(key.region);
  DatabaseReader::PostcodeText(key.postcode, answer.postcode);
}

}  // namespace

void AskForBuilding(const AddressDatabase& db, const TypedAddress& typed, MatchScratch& scratch) {
  const DatabaseReader* impl = AddressDatabaseSeam::Of(db);
  Number number;
  std::uint32_t nameHash, key;
  if (impl && !typed.road.empty() && BuildingKey(typed, scratch.name, number, nameHash, key)) {
    impl->AskForBuildings(nameHash, key);
  }
}

bool AnswerFromDatabase(const AddressDatabase& db, const TypedAddress& typed, bool keepLot, MatchScratch& scratch,
                        DatabaseAnswer& answer) {
  const DatabaseReader* impl = AddressDatabaseSeam::Of(db);
  if (!impl || typed.number.empty()) return false;
  const bool lot = typed.road.empty();
  if (lot && typed.locality.empty()) return false;
  Matcher matcher(*impl, typed, scratch);
  if (lot) {
    matcher.AtLot();
  } else {
    matcher.AtRoad();
  }
  const std::vector<MatchCandidate>& candidates = scratch.candidates;
  if (candidates.empty()) return false;
  const AnswerKey first = KeyOf(*impl, candidates[0]);
  bool samePostcode = true, sameStreet = true;
  for (std::size_t k = 1; k < candidates.size(); ++k) {
    const AnswerKey other = KeyOf(*impl, candidates[k]);
    // Two places that the words fit equally: the rules decide.
    if (!other.SamePlace(first)) return false;
    samePostcode = samePostcode && other.postcode == first.postcode;
    sameStreet = sameStreet && other.SameStreet(first);
  }
  if (!sameStreet && !lot) return false;
  WriteAnswer(*impl, candidates[0], first, answer);
  if (!samePostcode) answer.postcode.clear();
  if (lot && (keepLot || !sameStreet)) answer.street.clear();
  return true;
}

}  // namespace jasokit::detail

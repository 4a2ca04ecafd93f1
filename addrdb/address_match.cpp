#include "addrdb/address_match.h"

#include <optional>

#include "addrdb/address_db_reader.h"
#include "jasokit/cp949.h"

namespace jasokit::detail {

using namespace addrdb;

namespace {

struct Candidate {
  RoadRecord road;
  RowRecord row;
};

class Matcher {
 public:
  // The texts are kept from call to call on a thread, with their buffers.
  Matcher(const AddressDatabase::Impl& db, const TypedAddress& typed) : m_db(db), m_typed(typed) {
    thread_local std::vector<std::string> cities;
    thread_local std::string town;
    cities.resize(typed.cities.size());
    for (std::size_t k = 0; k < cities.size(); ++k) {
      cities[k].clear();
      Cp949ToUtf8(typed.cities[k], cities[k]);
    }
    town.clear();
    Cp949ToUtf8(typed.town, town);
    m_cities = &cities;
    m_town = &town;
  }

  bool Fits(const RoadRecord& road) const {
    const std::string_view city = m_db.Str(road.city);
    for (const std::string& word : *m_cities) {
      const std::size_t space = city.find(' ');
      const bool named = word == city || (space != std::string_view::npos &&
                                          (word == city.substr(0, space) || word == city.substr(space + 1)));
      if (!named) return false;
    }
    if (!m_town->empty() && *m_town != m_db.Str(road.town)) return false;
    // The English name mostly agrees with the region table's; the Korean
    // name decides where it does not.
    return m_db.Str(road.regionEn) == m_typed.regionRoman || RegionRoman(m_db.Str(road.region)) == m_typed.regionRoman;
  }

  void AtRoad(std::vector<Candidate>& out) const {
    thread_local std::string name;
    thread_local std::vector<std::uint32_t> rows;
    name.clear();
    Cp949ToUtf8(m_typed.road, name);
    Cp949ToUtf8(m_typed.branch, name);
    Number number;
    if (!ParseNumber(m_typed.number, number)) return;
    number.marked = m_typed.marked;
    m_db.ForRoadsNamed(name, [&](std::uint32_t, const RoadRecord& road) {
      if (!Fits(road)) return;
      rows.clear();
      m_db.RowsOfRoad(road, &number, rows);
      for (std::uint32_t i : rows) out.push_back(Candidate{road, *m_db.Row(i)});
    });
  }

  void AtLot(std::vector<Candidate>& out) const {
    std::string locality;
    Cp949ToUtf8(m_typed.locality, locality);
    Number lot;
    if (!ParseNumber(m_typed.number, lot)) return;
    lot.marked = m_typed.marked;
    std::vector<std::uint32_t> rows;
    m_db.RowsAtLot(locality, lot, rows);
    for (std::uint32_t i : rows) {
      const auto row = m_db.Row(i);
      const auto road = row ? m_db.Road(row->road) : std::nullopt;
      if (road && Fits(*road)) out.push_back(Candidate{*road, *row});
    }
  }

 private:
  const AddressDatabase::Impl& m_db;
  const TypedAddress& m_typed;
  const std::vector<std::string>* m_cities;
  const std::string* m_town;
};

// The parts of one candidate; a part the data has no English for is empty.
DatabaseAnswer Parts(const AddressDatabase::Impl& db, const Candidate& c) {
  DatabaseAnswer a;
  if (!db.Str(c.road.nameEn).empty()) a.street = db.EnglishStreet(c.road, c.row);
  const bool townKnown = db.Str(c.road.town).empty() || !db.Str(c.road.townEn).empty();
  const bool cityKnown = db.Str(c.road.city).empty() || !db.Str(c.road.cityEn).empty();
  if (townKnown && cityKnown) a.district = db.EnglishDistrict(c.road);
  a.region = std::string(db.Str(c.road.regionEn));
  a.postcode = AddressDatabase::Impl::PostcodeText(c.row.postcode != 0 ? c.row.postcode : c.row.oldPostcode);
  return a;
}

}  // namespace

bool AnswerFromDatabase(const AddressDatabase& db, const TypedAddress& typed, bool keepLot, DatabaseAnswer& answer) {
  const AddressDatabase::Impl* impl = db.impl();
  if (!impl || typed.number.empty()) return false;
  const bool lot = typed.road.empty();
  if (lot && typed.locality.empty()) return false;
  const Matcher matcher(*impl, typed);
  thread_local std::vector<Candidate> candidates;
  candidates.clear();
  if (lot) {
    matcher.AtLot(candidates);
  } else {
    matcher.AtRoad(candidates);
  }
  if (candidates.empty()) return false;
  answer = Parts(*impl, candidates[0]);
  bool sameStreet = true;
  for (std::size_t k = 1; k < candidates.size(); ++k) {
    const DatabaseAnswer other = Parts(*impl, candidates[k]);
    // Two places that the words fit equally: the rules decide.
    if (other.district != answer.district || other.region != answer.region) return false;
    if (other.postcode != answer.postcode) answer.postcode.clear();
    sameStreet = sameStreet && other.street == answer.street;
  }
  if (!sameStreet && !lot) return false;
  if (lot && (keepLot || !sameStreet)) answer.street.clear();
  return true;
}

}  // namespace jasokit::detail

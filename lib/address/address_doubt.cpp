#include "address/address_doubt.h"

#include <algorithm>
#include <cstdint>

#include "addrdb/address_db_reader.h"
#include "jasokit/cp949.h"
#include "romanize/cp949.h"

namespace jasokit::detail {

using namespace addrdb;

namespace {

// UTF-8 to code points (the texts here are the data's and the converter's,
// valid UTF-8).
std::u32string Points(std::string_view utf8) {
  std::u32string out;
  for (std::size_t k = 0; k < utf8.size();) {
    const std::size_t n = std::max<std::size_t>(1, ValidUtf8Length(utf8, k));
    char32_t cp = static_cast<unsigned char>(utf8[k]) & (n == 1 ? 0x7F : n == 2 ? 0x1F : n == 3 ? 0x0F : 0x07);
    for (std::size_t j = 1; j < n && k + j < utf8.size(); ++j) {
      cp = cp << 6 | (static_cast<unsigned char>(utf8[k + j]) & 0x3F);
    }
    out.push_back(cp);
    k += n;
  }
  return out;
}

// Syllables as their jamo (initial, vowel, final), other characters as
// themselves, so that an edit is one jamo.
std::u32string Jamo(std::u32string_view s) {
  std::u32string out;
  for (const char32_t c : s) {
    if (c < 0xAC00 || c > 0xD7A3) {
      out.push_back(c);
      continue;
    }
    const char32_t i = c - 0xAC00;
    out.push_back(0x1100 + i / 588);
    out.push_back(0x1161 + i / 28 % 21);
    if (i % 28) out.push_back(0x11A7 + i % 28);
  }
  return out;
}

// Edit distance, counted up to 3.
int Distance(std::u32string_view a, std::u32string_view b) {
  if (a.size() > b.size() + 2 || b.size() > a.size() + 2) return 3;
  std::vector<int> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= a.size(); ++i) {
    int diagonal = row[0];
    row[0] = static_cast<int>(i);
    int best = row[0];
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const int up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = up;
      best = std::min(best, row[j]);
    }
    if (best >= 3) return 3;
  }
  return std::min(row[b.size()], 3);
}

// The initial consonants of a name, as compatibility letters (개포로: ㄱㅍㄹ).
std::u32string Initials(std::u32string_view s) {
  static constexpr char32_t kLetters[19] = {0x3131, 0x3132, 0x3134, 0x3137, 0x3138, 0x3139, 0x3141,
                                            0x3142, 0x3143, 0x3145, 0x3146, 0x3147, 0x3148, 0x3149,
                                            0x314A, 0x314B, 0x314C, 0x314D, 0x314E};
  std::u32string out;
  for (const char32_t c : s) out.push_back(c >= 0xAC00 && c <= 0xD7A3 ? kLetters[(c - 0xAC00) / 588] : c);
  return out;
}

class Doubter {
 public:
  Doubter(const DatabaseReader& db, const TypedAddress& typed, Doubt& out) : m_db(db), m_typed(typed), m_out(out) {
    for (std::string_view c : typed.cities) {
      m_cities.emplace_back();
      Cp949ToUtf8(c, m_cities.back());
    }
    Cp949ToUtf8(typed.town, m_town);
    Cp949ToUtf8(typed.road, m_name);
    Cp949ToUtf8(typed.branch, m_name);
    m_hasNumber = ParseNumber(typed.number, m_number);
    m_number.marked = typed.marked;
  }

  void Run(bool answered, bool postcodeGiven) {
    if (!m_hasNumber || m_name.empty()) return;
    std::vector<std::uint32_t> rows, all;
    bool roadFound = false, placeFound = false;
    ForFittingRoads([&](const RoadRecord& road) {
      placeFound = true;
      if (m_db.Str(road.name) != m_name) return;
      roadFound = true;
      m_db.RowsOfRoad(road, &m_number, rows);
      m_db.RowsOfRoad(road, nullptr, all);
    });
    // A place the data does not cover says nothing about its roads.
    if (!placeFound) return;
    if (!roadFound) {
      UnknownRoad();
    } else if (rows.empty()) {
      UnknownBuilding(all);
    } else if (!answered || !postcodeGiven) {
      Ambiguous(rows);
    }
  }

 private:
  // The roads of the place typed. Roads come sorted by region and city, so
  // a place's roads stand together: the range they stand in is found once
  // per place and kept in the doubt's workspace for the next address.
  template <typename Each>
  void ForFittingRoads(Each&& each) {
    const std::pair<std::size_t, std::size_t> range = PlaceRange();
    for (std::size_t i = range.first; i < range.second; ++i) {
      const auto road = m_db.Road(i);
      if (road && Fits(*road)) each(*road);
    }
  }

  std::pair<std::size_t, std::size_t> PlaceRange() {
    std::string key(m_typed.regionRoman);
    for (const std::string& c : m_cities) key += '|' + c;
    key += '|' + m_town;
    const std::size_t roads = m_db.Count(kRoads);
    if (m_out.placesOf != &m_db || m_out.placesRoads != roads) {
      m_out.places.clear();
      m_out.placesOf = &m_db;
      m_out.placesRoads = roads;
    }
    for (const Doubt::Place& p : m_out.places) {
      if (p.key == key) return {p.first, p.last};
    }
    std::size_t first = roads, last = 0;
    for (std::size_t i = 0; i < roads; ++i) {
      const auto road = m_db.Road(i);
      if (!road || !Fits(*road)) continue;
      first = std::min(first, i);
      last = i + 1;
    }
    if (first > last) first = last = 0;
    if (m_out.places.size() >= Doubt::kPlacesKept) m_out.places.erase(m_out.places.begin());
    m_out.places.push_back(Doubt::Place{key, first, last});
    return {first, last};
  }

  // The region's verdict is kept while the roads keep to one region.
  bool InRegion(const RoadRecord& road) {
    if (m_typed.regionRoman.empty()) return true;
    if (road.region != m_lastRegion) {
      m_lastRegion = road.region;
      m_lastRegionFits =
          m_db.Str(road.regionEn) == m_typed.regionRoman || RegionRoman(m_db.Str(road.region)) == m_typed.regionRoman;
    }
    return m_lastRegionFits;
  }

  bool Fits(const RoadRecord& road) {
    if (!InRegion(road)) return false;
    const std::string_view city = m_db.Str(road.city);
    const std::size_t space = city.find(' ');
    for (const std::string& word : m_cities) {
      const bool named = word == city || (space != std::string_view::npos &&
                                          (word == city.substr(0, space) || word == city.substr(space + 1)));
      if (!named) return false;
    }
    return m_town.empty() || m_town == m_db.Str(road.town);
  }

  void Suggest(std::uint32_t row) {
    if (m_out.suggestions.size() >= kMaxSuggestions) return;
    AddressMatch m;
    if (!m_db.Describe(row, m)) return;
    for (const Suggestion& s : m_out.suggestions) {
      if (s.address == m.address) return;
    }
    m_out.suggestions.push_back(Suggestion{m.address, m.english, m.postcode});
  }

  void Warn(const char* code, std::string message) { m_out.warnings.push_back(Warning{code, std::move(message)}); }

  // Roads of the place one or two jamo from the name, or with its initials.
  void UnknownRoad() {
    const std::u32string typed = Points(m_name), typedJamo = Jamo(typed);
    struct Near {
      RoadRecord road;
      int distance;
    };
    std::vector<Near> near;
    ForFittingRoads([&](const RoadRecord& road) {
      const std::u32string name = Points(m_db.Str(road.name));
      int d = Distance(typedJamo, Jamo(name));
      if (d > 2 && Initials(name) == typed) d = 2;
      if (d <= 2 && (near.empty() || near.back().road.name != road.name || near.back().road.city != road.city)) {
        near.push_back(Near{road, d});
      }
    });
    std::stable_sort(near.begin(), near.end(), [](const Near& a, const Near& b) { return a.distance < b.distance; });
    const bool one = !near.empty() && near[0].distance == 1 && (near.size() == 1 || near[1].distance > 1);
    for (const Near& n : near) {
      std::vector<std::uint32_t> rows;
      m_db.RowsOfRoad(n.road, &m_number, rows);
      if (one && &n == &near[0] && !rows.empty()) m_out.road = std::string(m_db.Str(n.road.name));
      if (rows.empty()) m_db.RowsOfRoad(n.road, nullptr, rows);
      if (!rows.empty()) Suggest(Nearest(rows));
    }
    if (!m_out.road.empty()) {
      Warn("corrected",
           "the data has no road " + m_name + " here; read " + m_out.road + ", the one road one letter off");
      return;
    }
    Warn("unknown-road", "the data has no road " + m_name + " in this district; the address is written by the rules");
  }

  // The row whose number is nearest the one typed.
  std::uint32_t Nearest(const std::vector<std::uint32_t>& rows) const {
    std::uint32_t best = rows[0];
    long bestGap = -1;
    for (const std::uint32_t i : rows) {
      const auto row = m_db.Row(i);
      if (!row) continue;
      const long gap = std::labs(static_cast<long>(row->main) - static_cast<long>(m_number.main)) * 1000 +
                       std::labs(static_cast<long>(row->sub) - static_cast<long>(m_number.sub));
      if (bestGap < 0 || gap < bestGap) {
        best = i;
        bestGap = gap;
      }
    }
    return best;
  }

  void UnknownBuilding(std::vector<std::uint32_t> all) {
    std::sort(all.begin(), all.end(), [&](std::uint32_t a, std::uint32_t b) {
      const auto ra = m_db.Row(a), rb = m_db.Row(b);
      const auto gap = [&](const std::optional<RowRecord>& r) {
        return r ? std::labs(static_cast<long>(r->main) - static_cast<long>(m_number.main)) * 1000 + r->sub : 0L;
      };
      return gap(ra) < gap(rb);
    });
    for (const std::uint32_t i : all) Suggest(i);
    Warn("unknown-building", "the data has no building " + std::string(m_typed.number) + " on " + m_name +
                                 "; the address is written by the rules, without a postcode");
  }

 public:
  // The buildings at the lot typed, in the place typed.
  void AtLot() {
    std::string locality;
    Cp949ToUtf8(m_typed.locality, locality);
    if (!m_hasNumber) return;
    std::vector<std::uint32_t> rows, fitting;
    m_db.RowsAtLot(locality, m_number, rows);
    for (const std::uint32_t i : rows) {
      const auto row = m_db.Row(i);
      const auto road = row ? m_db.Road(row->road) : std::nullopt;
      if (road && Fits(*road)) fitting.push_back(i);
    }
    if (fitting.size() < 2) return;
    for (const std::uint32_t i : fitting) Suggest(i);
    if (m_out.suggestions.size() < 2) {
      m_out.suggestions.clear();  // one building, written from several rows
      return;
    }
    Warn("ambiguous", std::to_string(fitting.size()) + " buildings of the data stand at " + locality + " " +
                          std::string(m_typed.number) + "; the lot number is written");
  }

 private:
  void Ambiguous(const std::vector<std::uint32_t>& rows) {
    for (const std::uint32_t i : rows) Suggest(i);
    Warn("ambiguous", std::to_string(rows.size()) + " buildings of the data fit " + m_name + " " +
                          std::string(m_typed.number) + "; no postcode is written");
  }

  const DatabaseReader& m_db;
  const TypedAddress& m_typed;
  Doubt& m_out;
  std::vector<std::string> m_cities;
  std::string m_town, m_name;
  Number m_number;
  bool m_hasNumber = false;
  StrRef m_lastRegion = ~StrRef{0};
  bool m_lastRegionFits = false;
};

}  // namespace

void DoubtLotAddress(const AddressDatabase& db, const TypedAddress& typed, Doubt& out) {
  out.warnings.clear();
  out.suggestions.clear();
  out.road.clear();
  const DatabaseReader* impl = AddressDatabaseSeam::Of(db);
  if (impl == nullptr || typed.locality.empty() || typed.number.empty()) return;
  Doubter(*impl, typed, out).AtLot();
}

void DoubtRoadAddress(const AddressDatabase& db, const TypedAddress& typed, bool answered, bool postcodeGiven,
                      Doubt& out) {
  out.warnings.clear();
  out.suggestions.clear();
  out.road.clear();
  const DatabaseReader* impl = AddressDatabaseSeam::Of(db);
  if (impl == nullptr || typed.road.empty() || typed.number.empty()) return;
  Doubter(*impl, typed, out).Run(answered, postcodeGiven);
}

}  // namespace jasokit::detail

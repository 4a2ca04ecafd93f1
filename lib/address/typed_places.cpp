#include "address/typed_places.h"

#include <iterator>
#include <vector>

#include "addrdb/address_db_reader.h"
#include "romanize/cp949.h"
#include "tables/official_tables.h"

namespace jasokit::detail {

namespace {

constexpr char16_t kSi = u'\uC2DC', kGun = u'\uAD70', kGu = u'\uAD6C';

// The region forms in UTF-16, in the table's order; built once, read only.
const std::vector<TypedPlace>& Regions() {
  static const std::vector<TypedPlace> regions = [] {
    std::vector<TypedPlace> out;
    for (const PlaceRow& row : kOfficialRegions) {
      TypedPlace p;
      DecodeCp949(row.korean, p.form);
      p.roman = row.roman;
      out.push_back(std::move(p));
    }
    return out;
  }();
  return regions;
}

const std::vector<std::u16string>& Designations() {
  static const std::vector<std::u16string> designations = [] {
    std::vector<std::u16string> out;
    for (std::string_view d : kRegionDesignations) {
      out.emplace_back();
      DecodeCp949(d, out.back());
    }
    out.push_back(u"\uAD11\uC5ED\uC2DC");  // 광역시 (already there; harmless)
    out.push_back(u"\uB3C4");              // 도
    out.push_back(u"\uC2DC");              // 시
    return out;
  }();
  return designations;
}

int JamoOff(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return 2;
  int d = 0;
  for (std::size_t k = 0; k < a.size() && d < 2; ++k) {
    if (a[k] == b[k]) continue;
    const bool syllables = a[k] >= 0xAC00 && a[k] <= 0xD7A3 && b[k] >= 0xAC00 && b[k] <= 0xD7A3;
    if (!syllables) return 2;
    const int x = a[k] - 0xAC00, y = b[k] - 0xAC00;
    d += (x / 588 != y / 588) + (x / 28 % 21 != y / 28 % 21) + (x % 28 != y % 28);
  }
  return d;
}

std::string Utf8Of(std::u16string_view s) {
  std::string out;
  for (const char16_t c : s) AppendUtf8(c, out);
  return out;
}

}  // namespace

const TypedPlace* RegionOfForm(std::u16string_view w) {
  for (const TypedPlace& p : Regions()) {
    if (p.form == w) return &p;
  }
  return nullptr;
}

const TypedPlace* RegionPrefix(std::u16string_view w) {
  const TypedPlace* best = nullptr;
  for (const TypedPlace& p : Regions()) {
    if (p.form.size() < w.size() && w.substr(0, p.form.size()) == p.form &&
        (best == nullptr || p.form.size() > best->form.size())) {
      best = &p;
    }
  }
  return best;
}

const TypedPlace* NearRegion(std::u16string_view w) {
  if (w.size() < 3) return nullptr;
  // Another designation after a short form: 세종특별시, 서울광역시.
  for (const std::u16string& d : Designations()) {
    if (w.size() <= d.size() || w.substr(w.size() - d.size()) != d) continue;
    if (const TypedPlace* p = RegionOfForm(w.substr(0, w.size() - d.size()))) {
      // The fullest form of that region, so that the text reads as it would.
      const TypedPlace* full = p;
      for (const TypedPlace& q : Regions()) {
        if (q.roman == p->roman && q.form.size() > full->form.size()) full = &q;
      }
      return full;
    }
  }
  const TypedPlace* found = nullptr;
  for (const TypedPlace& p : Regions()) {
    if (p.form.size() < 3 || JamoOff(w, p.form) != 1) continue;
    if (found != nullptr && found->roman != p.roman) return nullptr;
    found = &p;
  }
  return found;
}

std::string_view RegionRomanOf(std::u16string_view w) {
  const TypedPlace* p = RegionOfForm(w);
  return p ? p->roman : std::string_view();
}

namespace {

// Notes in found the one of units that a word of city ("수원시 영통구") is;
// false when it is another than found already holds.
bool NoteCityWords(std::string_view city, const std::vector<std::string>& units, std::string& found) {
  for (std::size_t start = 0; start <= city.size();) {
    std::size_t end = city.find(' ', start);
    if (end == std::string_view::npos) end = city.size();
    const std::string_view word = city.substr(start, end - start);
    for (const std::string& u : units) {
      if (word != u) continue;
      if (!found.empty() && found != u) return false;
      found = u;
    }
    start = end + 1;
  }
  return true;
}

bool InRegion(const DatabaseReader& db, const addrdb::RoadRecord& road, std::string_view regionRoman) {
  return regionRoman.empty() || db.Str(road.regionEn) == regionRoman ||
         addrdb::RegionRoman(db.Str(road.region)) == regionRoman;
}

}  // namespace

bool DistrictWithUnit(const AddressDatabase& db, std::string_view regionRoman, std::u16string_view name,
                      std::u16string& full) {
  const DatabaseReader* impl = AddressDatabaseSeam::Of(db);
  if (impl == nullptr) return false;
  std::vector<std::u16string> forms;
  std::vector<std::string> units;
  for (const char16_t unit : {kGu, kSi, kGun}) {
    forms.emplace_back(name);
    forms.back() += unit;
    units.push_back(Utf8Of(forms.back()));
  }
  std::string found;
  std::string_view lastCity;
  const std::size_t roads = impl->Count(addrdb::kRoads);
  for (std::size_t i = 0; i < roads; ++i) {
    const auto road = impl->Road(i);
    if (!road) continue;
    const std::string_view city = impl->Str(road->city);
    if (city == lastCity) continue;  // roads come sorted by region and city
    lastCity = city;
    if (InRegion(*impl, *road, regionRoman) && !NoteCityWords(city, units, found)) return false;
  }
  for (std::size_t k = 0; k < units.size(); ++k) {
    if (units[k] == found) full = forms[k];
  }
  return !found.empty();
}

bool IsDataRoad(const AddressDatabase& db, std::u16string_view name) {
  const DatabaseReader* impl = AddressDatabaseSeam::Of(db);
  if (impl == nullptr) return false;
  bool found = false;
  impl->ForRoadsNamed(Utf8Of(name), [&](std::uint32_t, const addrdb::RoadRecord&) { found = true; });
  return found;
}

}  // namespace jasokit::detail

#pragma once
// The places the typed-form reader knows: the regions' written forms and,
// from the address data, the districts of a region.
#include <string>
#include <string_view>

#include "jasokit/address_db.h"

namespace jasokit::detail {

struct TypedPlace {
  std::u16string form;     // 서울특별시
  std::string_view roman;  // Seoul
};

// The region row whose form is w, or null.
const TypedPlace* RegionOfForm(std::u16string_view w);
// The longest region form that w starts with, with more after it.
const TypedPlace* RegionPrefix(std::u16string_view w);
// A region written with another designation (세종특별시), or one jamo off a
// form where exactly one region is that close (서울특별씨); null otherwise.
const TypedPlace* NearRegion(std::u16string_view w);
// The Roman name of a region form, or "".
std::string_view RegionRomanOf(std::u16string_view w);

// The one district of the region (by its Roman name) that is name and a
// unit (강남 -> 강남구), from the data; false where none or several are.
bool DistrictWithUnit(const AddressDatabase& db, std::string_view regionRoman, std::u16string_view name,
                      std::u16string& full);

// Whether the data has a road of that name (테헤란로, 테헤란로7길) anywhere.
bool IsDataRoad(const AddressDatabase& db, std::u16string_view name);

}  // namespace jasokit::detail

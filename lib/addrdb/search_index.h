#pragma once
// The search's own sections of the address database: tables of (key, id)
// pairs sorted by key, where a key is a KeyHash of what a user may type
// (hangul_keys.h) and an id a road or a building name. A hash names
// candidates only; the reader compares their texts before it keeps one.
//   name grams:     every two characters of a building name (ASCII
//                   lowercased) -> the name's first entry in the names index
//   locality roads: dong, ri, eup or myeon -> the roads with rows there
//   English roads:  EnglishKey of a road's English -> the road
//   initial roads:  InitialsOf a road name -> one road of that name
//   slip roads:     SlipKeys of a road name -> one road of that name
// The builder takes the tables the writer holds and gives bytes; the reader
// takes bytes. Neither knows where in the file the sections lie.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "addrdb/address_db_format.h"

namespace jasokit::detail::addrdb {

struct KeyEntry {
  std::uint32_t key, id;
};
static_assert(sizeof(KeyEntry) == 8);

enum SearchSection : std::uint32_t {
  kNameGrams,
  kLocalityRoads,
  kEnglishRoads,
  kInitialRoads,
  kSlipRoads,
  kSearchSectionCount,
};
static_assert(kSectionCount - kSearchFirst == kSearchSectionCount);

struct SearchSource {
  std::function<std::string_view(StrRef)> text;
  const std::vector<RoadRecord>& roads;
  const std::vector<RowRecord>& rows;
  const std::vector<NameEntry>& names;
};

// The sections' bytes, by SearchSection.
void BuildSearchSections(const SearchSource& source, std::string (&out)[kSearchSectionCount]);

// The entries [first, second) of a section whose key is key.
std::pair<std::size_t, std::size_t> KeyRange(std::string_view section, std::uint32_t key);
KeyEntry KeyAt(std::string_view section, std::size_t k);

}  // namespace jasokit::detail::addrdb

#pragma once
// The address database's part in official-style conversion: given the words
// of an address as the converter recognised them, the data's own English
// names and postcode for its building.
#include <string>
#include <string_view>
#include <vector>

#include "addrdb/address_db_format.h"
#include "addrdb/address_db_reader.h"
#include "jasokit/address_db.h"

namespace jasokit::detail {

// The words of an address as typed, CP949 (the converter's bytes).
struct TypedAddress {
  std::string_view regionRoman;          // the region, by its Roman name
  std::vector<std::string_view> cities;  // si, gun and gu words
  std::string_view town;                 // the eup or myeon word
  std::string_view road;                 // the road word; empty for a lot address
  std::string_view branch;               // a branch written apart ("7길"), or ""
  std::string_view locality;             // the dong or ri word before a lot number
  std::string_view number;               // building or lot number: "152", "12-3"
  bool marked = false;                   // 지하 before a building number, 산 before a lot number

  // Empties it, keeping the list's buffer for the next address.
  void Clear() {
    std::vector<std::string_view> kept;
    kept.swap(cities);
    kept.clear();
    *this = TypedAddress{};
    cities.swap(kept);
  }
};

// The parts the data gives; an empty part is left to the rules.
struct DatabaseAnswer {
  std::string street;    // "152 Teheran-ro"
  std::string district;  // town, city: "Yeongtong-gu, Suwon-si"
  std::string region;
  std::string postcode;     // "06236", or "" where the data has only an old code
  std::string oldPostcode;  // "135-080" where the data has no current code
};

// A building the words fit.
struct MatchCandidate {
  addrdb::RoadRecord road;
  addrdb::RowBrief row;
};

// The matcher's working texts and lists, owned by the caller (a converter)
// so that their buffers stay from one address to the next without any
// per-thread state.
struct MatchScratch {
  std::vector<std::string> cities;  // the typed words in UTF-8
  std::string town;
  std::string name;  // road and branch, or the locality
  std::vector<std::uint32_t> rows;
  std::vector<addrdb::BuildingSlot> slots;
  std::vector<MatchCandidate> candidates;
};

// Asks for the memory where AnswerFromDatabase will look for the building
// of a road address (a hint; nothing else changes).
void AskForBuilding(const AddressDatabase& db, const TypedAddress& typed, MatchScratch& scratch);

// Whether the data holds the building (or, for a lot address, the lot) and
// then its parts. keepLot leaves a lot address's street to the rules. An
// address without its region (regionRoman empty) is matched by the rest;
// the data's region is then given.
bool AnswerFromDatabase(const AddressDatabase& db, const TypedAddress& typed, bool keepLot, MatchScratch& scratch,
                        DatabaseAnswer& answer);

// Whether db's file was cut short or written over: a flag, set by the first
// check that found it so.
inline bool DatabaseChanged(const AddressDatabase& db) {
  const DatabaseReader* impl = AddressDatabaseSeam::Of(db);
  return impl && impl->changed.load(std::memory_order_relaxed);
}
// Whether the reads of db were of the file opened. A fault is seen at once;
// the mapping's own bytes are compared on one call in kIntactEvery on a
// thread, since a conversion's reads push their two cache lines out and
// fetching them again costs more than the rest of the check (a tenth of a
// conversion on a virtual machine).
inline constexpr unsigned kIntactEvery = 64;
inline bool DatabaseIntact(const AddressDatabase& db) {
  const DatabaseReader* impl = AddressDatabaseSeam::Of(db);
  if (!impl) return true;
  thread_local unsigned countdown = 0;
  if (countdown != 0) {
    --countdown;
    return impl->NoFault();
  }
  countdown = kIntactEvery - 1;
  return impl->Intact();
}

}  // namespace jasokit::detail

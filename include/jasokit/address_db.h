#pragma once
// The national address data (Korea Post's per-building postcode files),
// imported once into a database file that is mapped, not parsed, on open.
// Lookups answer postcodes and addresses; conversion in the official style
// writes the data's own English names (Options::database).
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jasokit/export.h"

namespace jasokit {

namespace detail {
struct AddressDatabaseSeam;
}

enum class AddressDbStatus {
  Ok,
  CannotOpen,    // missing, unreadable, or no regular file
  NotADatabase,  // another kind of file
  OtherVersion,  // a database of a format version this build does not read
  Truncated,     // shorter than its header says
  Damaged,       // a checksum fails, or a section lies outside the file or has an impossible size
};

// What the user is told, in English, for a status other than Ok.
JASOKIT_API const char* AddressDbStatusMessage(AddressDbStatus status);

// One building as the lookup shows it. UTF-8.
struct AddressMatch {
  std::string postcode;     // five digits, or a six-digit code (123-456) in older data
  std::string address;      // road-name address, with the building name in brackets
  std::string lot;          // lot-number address
  std::string english;      // number and road, town, city/district, region
  std::string building;     // the building or bulk-delivery name, or ""
  std::string oldPostcode;  // the six-digit code (123-456), or ""
};

struct AddressLookupResult {
  std::vector<AddressMatch> matches;  // ordered by postcode, then by address
  std::size_t more = 0;               // matches beyond the limit
  // A reference of the file led outside its section, or to an empty name
  // where one is required: the file is damaged, and what it would have
  // answered is missing from matches.
  bool damaged = false;
};

// The counts and sources recorded when the database was built.
struct AddressDbInfo {
  unsigned formatVersion = 0;
  std::size_t rows = 0;
  std::size_t roads = 0;
  std::size_t postcodes = 0;
  std::size_t skipped = 0;
  std::vector<std::string> sources;  // "NAME (edition DATE, LAYOUT layout): N rows, M skipped"
};

// The longest query the programs read (lookup QUERY, GET /v1/lookup); a
// longer one is not read and matches nothing.
inline constexpr std::size_t kMaxLookupQueryBytes = 1024;

class JASOKIT_API AddressDatabase {
 public:
  static constexpr std::size_t kDefaultLimit = 100;

  AddressDatabase();
  ~AddressDatabase();
  AddressDatabase(AddressDatabase&&) noexcept;
  AddressDatabase& operator=(AddressDatabase&&) noexcept;

  // Maps the file read-only; replaces what was open.
  AddressDbStatus Open(const std::string& path);
  // Reads a database held in memory; the bytes must outlive the database.
  AddressDbStatus OpenBytes(std::string_view bytes);
  bool isOpen() const;
  // Reads the whole file against the checksums its header keeps (an open
  // checks the header alone): Ok, or Damaged with damagedSection, when
  // given, set to the name of the first section that differs from what was
  // written. Tens of milliseconds for a national database.
  AddressDbStatus Verify(std::string* damagedSection = nullptr) const;

  // A road-name address with or without its number, a lot-number address, a
  // road name, the start of a building name, a five-digit postcode or a
  // six-digit one (with or without its hyphen). UTF-8.
  AddressLookupResult Lookup(std::string_view query, std::size_t limit = kDefaultLimit) const;

  AddressDbInfo Info() const;

 private:
  struct Impl;
  // The library's converter reads an open database through this seam.
  friend struct detail::AddressDatabaseSeam;
  std::unique_ptr<Impl> m_impl;
};

// Where the programs look for the database when not told: the environment
// variable JASOKIT_ADDRDB, else $XDG_DATA_HOME/jasokit/address.db, else
// ~/.local/share/jasokit/address.db. The path is returned whether the file
// exists or not; empty when no home is known.
JASOKIT_API std::string DefaultAddressDbPath();
// The per-user location alone (what --install writes).
JASOKIT_API std::string UserAddressDbPath();

}  // namespace jasokit

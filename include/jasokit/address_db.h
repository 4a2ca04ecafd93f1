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
  Changed,       // the file was cut short or written over while open
};

// What the user is told, in English, for a status other than Ok.
JASOKIT_API const char* AddressDbStatusMessage(AddressDbStatus status);

// One building as the lookup shows it. UTF-8.
struct AddressMatch {
  std::string postcode;     // five digits, or "" where the data has only an old code
  std::string address;      // road-name address, with the building name in brackets
  std::string lot;          // lot-number address
  std::string english;      // number and road, town, city/district, region
  std::string building;     // the building or bulk-delivery name, or ""
  std::string oldPostcode;  // the six-digit code (123-456), or ""
  int score = 0;            // 0..100: how well it answers the query (README: "Lookup score")
  std::string matched;      // what matched: address, road, lot, building, dong, postcode,
                            // old_postcode, english or fuzzy
};

struct AddressLookupResult {
  std::vector<AddressMatch> matches;  // best first; ties by postcode, then by address
  std::size_t more = 0;               // matches beyond the limit
  std::string note;                   // what the data cannot answer, or ""
  // A reference of the file led outside its section, or to an empty name
  // where one is required: the file is damaged, and what it would have
  // answered is missing from matches.
  bool damaged = false;
  // Changed when the file changed under the lookup: then no matches.
  AddressDbStatus status = AddressDbStatus::Ok;
};

// The counts and sources recorded when the database was built.
struct AddressDbInfo {
  unsigned formatVersion = 0;
  std::size_t rows = 0;
  std::size_t roads = 0;
  std::size_t postcodes = 0;
  std::size_t currentPostcodeRows = 0;  // rows with a five-digit postcode
  std::size_t merged = 0;               // rows dropped as copies of others
  std::size_t skipped = 0;
  std::vector<std::string> sources;  // "NAME (edition DATE, LAYOUT layout): N rows, M skipped"
  std::string newestEdition;         // YYYY-MM-DD of the newest source, "" when none is known
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
  // written; Changed when the file changed while it was read. Tens of
  // milliseconds for a national database.
  AddressDbStatus Verify(std::string* damagedSection = nullptr) const;

  // A ranked search for what a user types (UTF-8): a road-name or lot-number
  // address (with places, details after it, run together), the start of a
  // road name, a building's name or its words, a dong, ri, eup or myeon, a
  // five- or six-digit postcode, the data's English, initial consonants,
  // Korean typed with the English layout, a slip or two in a road's name.
  // The best match first; at most limit, the rest counted in more.
  AddressLookupResult Lookup(std::string_view query, std::size_t limit = kDefaultLimit) const;

  AddressDbInfo Info() const;

  // Ok while the file is the one opened; Changed, for good, once it has been
  // cut short or written over in place (answers read since then may be
  // wrong: conversions fall back to the rules with the warning
  // "database-changed"). A file replaced by rename leaves this one intact.
  // Reads the file's attributes: a system call. Ok for OpenBytes.
  AddressDbStatus Check() const;

 private:
  struct Impl;
  // The library's converter reads an open database through this seam.
  friend struct detail::AddressDatabaseSeam;
  std::unique_ptr<Impl> m_impl;
};

// How old a database is: the whole days from its newest edition to now
// (seconds since 1970, UTC), or -1 when no source's edition is known.
JASOKIT_API long long AddressDbAgeDays(const AddressDbInfo& info, long long now);
// Past this, the programs warn (once, when they open the database).
inline constexpr long long kAddressDbMaxAgeDays = 366;
// That warning, in English, or "" for a database newer or of no known edition.
JASOKIT_API std::string AddressDbAgeWarning(const AddressDbInfo& info, long long now);
// A mapped file cut short under its reader makes the system end the process
// on the next read of a page past the new end (SIGBUS). While a guard lives,
// such a read of an open database's mapping reads zeros instead, and the
// database reports Changed. Signals are the process's: the library never
// takes this one unless a program asks, by holding a guard (guards nest). A
// fault outside the databases goes to the handler there was before. A no-op
// where a mapped file cannot be cut short (Windows).
class JASOKIT_API AddressDbFaultGuard {
 public:
  AddressDbFaultGuard();
  ~AddressDbFaultGuard();
  AddressDbFaultGuard(const AddressDbFaultGuard&) = delete;
  AddressDbFaultGuard& operator=(const AddressDbFaultGuard&) = delete;
};

// Where the programs look for the database when not told: the environment
// variable JASOKIT_ADDRDB, else $XDG_DATA_HOME/jasokit/address.db, else
// ~/.local/share/jasokit/address.db. The path is returned whether the file
// exists or not; empty when no home is known.
JASOKIT_API std::string DefaultAddressDbPath();
// The per-user location alone (what --install writes).
JASOKIT_API std::string UserAddressDbPath();

}  // namespace jasokit

#pragma once
// Checked access to an opened address database: every reference is tested
// against its section before it is followed.
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "addrdb/address_db_format.h"
#include "jasokit/address_db.h"

namespace jasokit {

namespace detail::addrdb {

// A file's bytes held for the database; release frees them.
struct MappedBytes {
  const char* data = nullptr;
  std::size_t size = 0;
  std::function<void()> release;
  // Set, from a signal handler, once a read of the mapping found the file
  // cut short (see AddressDbFaultGuard); null where that cannot happen.
  const std::atomic<bool>* faulted = nullptr;
  // False once the file's size or modification time is no longer what it
  // was when mapped; null where the file cannot change under the mapping.
  std::function<bool()> unchanged;
};

// What a platform gives (system-posix.cpp, system-windows.cpp): path mapped
// read-only (or read whole where there is no mapping), and an environment
// variable's value in UTF-8 ("" when unset). UserAddressDbPath, public, is
// the platform's too.
AddressDbStatus MapFile(const std::string& path, MappedBytes& out);
std::string EnvironmentValue(const char* name);

// One row of the section table.
struct TableEntry {
  std::uint32_t id, checksum;
  std::uint64_t offset, size;
};
// Row k, and the number of rows, of an image's table.
TableEntry EntryAt(std::string_view image, std::size_t k);
std::size_t SectionCountOf(std::string_view image);

// Checks the header, its checksum and the section table of bytes, and
// finds the sections the reader knows.
AddressDbStatus CheckImage(std::string_view bytes, std::string_view (&sections)[kSectionCount]);
// The name of the first section of an image CheckImage passed whose bytes
// fail their checksum, or "".
std::string_view FirstDamagedSection(std::string_view image);

// Building number or lot number: main, sub, and its mark (지하 or 산).
struct Number {
  std::uint32_t main = 0;
  std::uint32_t sub = 0;
  bool marked = false;
};

// "12", "12-3"; false for anything else or a number past 65535 (the
// sub-number) or 4294967295.
bool ParseNumber(std::string_view text, Number& out);

// A building as conversion needs it: its number and postcode (the current
// one, else the old).
struct RowBrief {
  bool basement = false;
  std::uint32_t main = 0, sub = 0;
  std::uint32_t postcode = 0;
};

RowBrief BriefOf(const RowRecord& row);

// A building of the hash table: its road and postcode.
struct BuildingSlot {
  std::uint32_t road;
  std::uint32_t postcode;
};

// The most roads asked for at once.
inline constexpr std::size_t kRoadPrefetchLimit = 16;

// Whether text is a date YYYY-MM-DD, or a month YYYY-MM (month 01-12, day
// 01-31).
bool IsEditionDate(std::string_view text);

// A region in UTF-8 (서울, 서울시, 서울특별시...) as its Roman name, or "".
std::string_view RegionRoman(std::string_view utf8);

}  // namespace detail::addrdb

// The reader's own: not part of the exported interface, although its class is.
#if defined(__GNUC__) && !defined(_WIN32)
#define JASOKIT_ADDRDB_HIDDEN __attribute__((visibility("hidden")))
#else
#define JASOKIT_ADDRDB_HIDDEN
#endif

struct JASOKIT_ADDRDB_HIDDEN AddressDatabase::Impl {
  detail::addrdb::MappedBytes mapped;
  std::string_view image;  // the whole file
  std::string_view sections[detail::addrdb::kSectionCount];
  // The header's first bytes as opened: a file written over in place shows
  // another size or header checksum, which Intact notices cheaply.
  std::string header;
  // The file's last byte that is not zero: a file cut short anywhere before
  // it reads it as zero (or faults), while one cut only in the zeros after
  // it still reads what it held.
  std::size_t lastMark = 0;
  char lastMarkByte = 0;
  mutable std::atomic<bool> changed{false};

  ~Impl() {
    if (mapped.release) mapped.release();
  }

  // Whether every read so far was of the file opened: no fault, the header
  // and the last mark unchanged. Cheap enough for each conversion (two cache
  // lines that stay hot); sticky once false.
  bool Intact() const {
    if (changed.load(std::memory_order_relaxed)) return false;
    const bool ok = !(mapped.faulted && mapped.faulted->load(std::memory_order_relaxed)) &&
                    (header.empty() || (std::memcmp(header.data(), mapped.data, header.size()) == 0 &&
                                        mapped.data[lastMark] == lastMarkByte));
    if (!ok) changed.store(true, std::memory_order_relaxed);
    return ok;
  }
  // Intact as far as the flags tell: a fault, or a change found before.
  bool NoFault() const {
    if (changed.load(std::memory_order_relaxed)) return false;
    if (!(mapped.faulted && mapped.faulted->load(std::memory_order_relaxed))) return true;
    changed.store(true, std::memory_order_relaxed);
    return false;
  }
  // Intact, and the file's size and time as they were (a system call).
  bool Unchanged() const {
    if (!Intact()) return false;
    if (mapped.unchanged && !mapped.unchanged()) changed.store(true, std::memory_order_relaxed);
    return !changed.load(std::memory_order_relaxed);
  }

  std::size_t Count(detail::addrdb::Section s) const {
    return sections[s].size() / detail::addrdb::kSectionInfo[s].recordSize;
  }

  // Whether ref names a string that lies within its section.
  bool StrSound(detail::addrdb::StrRef ref) const {
    const std::string_view blob = sections[detail::addrdb::kStrings];
    return ref < blob.size() && blob.size() - ref - 1 >= static_cast<unsigned char>(blob[ref]);
  }

  std::string_view Str(detail::addrdb::StrRef ref) const {
    const std::string_view blob = sections[detail::addrdb::kStrings];
    if (ref >= blob.size()) return {};
    const auto size = static_cast<unsigned char>(blob[ref]);
    if (blob.size() - ref - 1 < size) return {};
    return blob.substr(ref + 1, size);
  }

  template <typename T>
  std::optional<T> Record(detail::addrdb::Section s, std::size_t i) const {
    if (i >= Count(s)) return std::nullopt;
    T record;
    std::memcpy(&record, sections[s].data() + i * sizeof(T), sizeof(T));
    return record;
  }

  std::optional<detail::addrdb::RoadRecord> Road(std::size_t i) const {
    return Record<detail::addrdb::RoadRecord>(detail::addrdb::kRoads, i);
  }
  std::optional<detail::addrdb::RowRecord> Row(std::size_t i) const {
    return Record<detail::addrdb::RowRecord>(detail::addrdb::kRows, i);
  }
  std::uint32_t IndexAt(detail::addrdb::Section s, std::size_t i) const {
    std::uint32_t v;
    std::memcpy(&v, sections[s].data() + i * 4, 4);
    return v;
  }

  // The entries [first, second) of the road-name index whose prefix and hash
  // are name's: its roads, and those of a name that shares both (rare).
  // The search reads no string.
  std::pair<std::size_t, std::size_t> RoadNameRange(std::string_view name) const;
  // Calls each(index, road) for every road named name; false when an entry
  // names a road the file does not hold (damage).
  template <typename Each>
  bool ForRoadsNamed(std::string_view name, Each&& each) const {
    const auto range = RoadNameRange(name);
    AskForRoads(range.first, range.second);
    bool sound = true;
    for (std::size_t k = range.first; k < range.second; ++k) {
      const std::uint32_t index = Record<detail::addrdb::RoadNameEntry>(detail::addrdb::kRoadNames, k)->road;
      const auto road = Road(index);
      sound = sound && road;
      if (road && Str(road->name) == name) each(index, *road);
    }
    return sound;
  }
  // Asks for the roads of entries [first, last) of the road-name index, then
  // for their names, places and row fences, so that these waits overlap
  // instead of following one another (a hint).
  void AskForRoads(std::size_t first, std::size_t last) const;
  // The same for count roads by index (at most kRoadPrefetchLimit), with
  // their fences when fences is true.
  void AskForRoads(const std::uint32_t* roads, std::size_t count, bool fences) const;
  // Rows of a road with the number (all rows when number is null); false
  // when the road's rows lie outside the file's (damage).
  bool RowsOfRoad(const detail::addrdb::RoadRecord& road, const detail::addrdb::Number* number,
                  std::vector<std::uint32_t>& out) const;
  // The buildings of the buckets for a road name (by its NameHash) and a
  // key: the road and postcode of each with that key, whatever its road's
  // name, which the caller compares.
  void BuildingsAt(std::uint32_t nameHash, std::uint32_t key, std::vector<detail::addrdb::BuildingSlot>& out) const;
  // Asks for the bucket BuildingsAt reads first (a hint).
  void AskForBuildings(std::uint32_t nameHash, std::uint32_t key) const;
  // Narrows [lo, hi), a range of rows in key order, to the fences' block
  // (at most kFenceStep rows) that holds the first key not below want;
  // false, touching nothing, when the file has no sound fences.
  bool NarrowByFences(std::uint32_t want, std::size_t& lo, std::size_t& hi) const;
  // Rows at the lot in the dong or ri.
  void RowsAtLot(std::string_view locality, const detail::addrdb::Number& lot, std::vector<std::uint32_t>& out) const;

  // Whether a typed word names the row's region, city (or one of its two
  // words), town, dong or ri.
  bool NamesPlaceOf(const detail::addrdb::RoadRecord& road, const detail::addrdb::RowRecord& row,
                    std::string_view word) const;

  // The match of a row; false when a reference leads outside its section
  // or the region or road name is empty (damage).
  bool Describe(std::uint32_t row, AddressMatch& m) const;
  // "06236", "135-080" or "".
  static std::string PostcodeText(std::uint32_t code);
  static void PostcodeText(std::uint32_t code, std::string& out);
  // Number and road ("B12 Teheran-ro"); town and city ("Yeoksam-dong, Gangnam-gu").
  std::string EnglishStreet(const detail::addrdb::RoadRecord& road, const detail::addrdb::RowBrief& row) const;
  std::string EnglishDistrict(const detail::addrdb::RoadRecord& road) const;
  // The same, into out's buffer.
  void EnglishStreet(const detail::addrdb::RoadRecord& road, const detail::addrdb::RowBrief& row,
                     std::string& out) const;
  void EnglishDistrict(const detail::addrdb::RoadRecord& road, std::string& out) const;
};

namespace detail {

// What the converter's matcher reads of an open database, which the public
// class keeps to itself.
struct AddressDatabaseSeam {
  using Reader = AddressDatabase::Impl;
  static const Reader* Of(const AddressDatabase& db) { return db.m_impl.get(); }
};
using DatabaseReader = AddressDatabaseSeam::Reader;

}  // namespace detail

}  // namespace jasokit

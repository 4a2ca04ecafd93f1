#pragma once
// The address database file. Little-endian, every section 4-byte aligned
// (the buildings 64-byte):
//   header: magic, version, byte-order mark, file size, section count and
//     the header's checksum, then the section table: per section its id,
//     checksum, offset and size (TableEntry). The checksums are CRC-32C:
//     the header's of the header and table with its own field as zero, each
//     section's of its bytes.
//   strings:   byte 0 is the empty string; each string is a length byte and
//              its UTF-8 bytes, named by its offset (a StrRef)
//   roads:     RoadRecord, sorted by region, city, town and road name
//   rows:      RowRecord, sorted by road, then basement, number, sub-number
//   road names: RoadNameEntry sorted by the road name's first 8 bytes, a
//              hash of the whole name, then the name, so that a search reads
//              no string but those of the roads it finds
//   lots:      u32 row indexes sorted by locality name, lot number, 산
//   postcodes, old postcodes: u32 row indexes sorted by code, then row
//   names:     (StrRef, row) pairs sorted by the name's bytes
//   info:      text lines "key<TAB>value..." for `addrdb info`
//   row fences: the row key of every kFenceStep-th row, a small table that
//              stays in cache, so that a number within a road is found with
//              one read of a block of rows
//   buildings: a hash table of every building by road name and number, in
//              64-byte buckets (BuildingBucket) that hold its road and its
//              postcode, so that conversion finds a building with one read
//              and never touches the rows, the largest section by far
//   search:    the search's keys, five sections (search_index.h)
// A reader checks the header, its checksum and the section bounds on open
// (Verify checks the sections' sums too) and every reference as it follows
// it, so a damaged file never leads out of bounds.
// Sections are named by id, not by place: a reader passes over ids it does
// not know, and one whose section is optional reads it as empty when absent.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace jasokit::detail::addrdb {

inline constexpr std::string_view kMagic = "JKADDRDB";
inline constexpr std::uint32_t kFormatVersion = 4;
inline constexpr std::uint32_t kByteOrderMark = 0x01020304;

enum Section : std::uint32_t {
  kStrings,
  kRoads,
  kRows,
  kRoadNames,
  kLots,
  kPostcodes,
  kOldPostcodes,
  kNames,
  kInfo,
  kRowFences,
  kBuildings,
  kSearchFirst,  // the search's five sections (search_index.h)
  kSectionCount = kSearchFirst + 5,
};

// magic 8, version 4, byte-order mark 4, file size 8, section count 4,
// header checksum 4, then the table.
inline constexpr std::size_t kChecksumOffset = 28;
inline constexpr std::size_t kTableOffset = 32;
inline constexpr std::size_t kTableEntryBytes = 24;  // id 4, checksum 4, offset 8, size 8
inline constexpr std::size_t kMaxSections = 64;

inline constexpr std::size_t HeaderBytes(std::size_t sections) { return kTableOffset + sections * kTableEntryBytes; }

using StrRef = std::uint32_t;

struct RoadRecord {
  StrRef region, regionEn, city, cityEn, town, townEn, name, nameEn;
  std::uint32_t firstRow, rowCount;
};
static_assert(sizeof(RoadRecord) == 40);

enum RowFlag : std::uint8_t { kBasement = 1, kMountain = 2 };

// Postcodes as numbers: five-digit codes as they are, six-digit ones plus
// kSixDigits, so the two systems never meet; 0 is none. A row's postcode
// is five-digit or none; its old postcode six-digit or none.
inline constexpr std::uint32_t kSixDigits = 1000000;

struct RowRecord {
  std::uint32_t road;
  StrRef dong, ri, building, bulk;
  std::uint32_t postcode, oldPostcode;
  std::uint32_t lotMain;
  std::uint16_t main, sub, lotSub;
  std::uint8_t flags, reserved;
};
static_assert(sizeof(RowRecord) == 40);

struct RoadNameEntry {
  std::uint32_t head, tail;  // the name's first 8 bytes, big-endian, zero-padded
  std::uint32_t road;
  std::uint32_t hash;  // NameHash of the whole name
};
static_assert(sizeof(RoadNameEntry) == 16);

// The first 8 bytes of a name as two numbers that compare as the bytes do.
inline void NamePrefix(std::string_view name, std::uint32_t& head, std::uint32_t& tail) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    v = v << 8 | (i < name.size() ? static_cast<unsigned char>(name[i]) : 0u);
  }
  head = static_cast<std::uint32_t>(v >> 32);
  tail = static_cast<std::uint32_t>(v);
}

// FNV-1a of a name's bytes.
inline std::uint32_t NameHash(std::string_view name) {
  std::uint32_t h = 2166136261u;
  for (const char c : name) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h;
}

struct NameEntry {
  StrRef name;
  std::uint32_t row;
};
static_assert(sizeof(NameEntry) == 8);

// Rows per fence: 16 keys fill one cache line.
inline constexpr std::size_t kFenceStep = 16;

// Up to five buildings whose road name and number hash to this bucket or,
// when an earlier bucket was full, to one before it: their RowKeys, roads
// (kNoRoad for a free slot) and postcodes (the current one, else the old).
// overflow: some building that hashed here or before lies further on.
inline constexpr std::size_t kBucketSlots = 5;
inline constexpr std::uint32_t kNoRoad = 0xFFFFFFFFu;
struct BuildingBucket {
  std::uint32_t keys[kBucketSlots];
  std::uint32_t roads[kBucketSlots];
  std::uint32_t postcodes[kBucketSlots];
  std::uint32_t overflow;
};
static_assert(sizeof(BuildingBucket) == 64);

// What a reader knows of each section, by id: its name in messages, its
// record size (its size is a multiple), where it starts (a bucket on one
// cache line), and whether a file without it is damaged. A new section is
// a new id and a row here; the writer adds its bytes with SectionList::Add.
struct SectionInfo {
  const char* name;
  std::size_t recordSize;
  std::size_t align;
  bool required;
};
inline constexpr SectionInfo kSectionInfo[kSectionCount] = {
    {"strings", 1, 4, true},
    {"roads", sizeof(RoadRecord), 4, true},
    {"rows", sizeof(RowRecord), 4, true},
    {"road names", sizeof(RoadNameEntry), 4, true},
    {"lots", 4, 4, true},
    {"postcodes", 4, 4, true},
    {"old postcodes", 4, 4, true},
    {"names", sizeof(NameEntry), 4, true},
    {"info", 1, 4, true},
    {"row fences", 4, 4, true},
    {"buildings", sizeof(BuildingBucket), 64, true},
    // The search's keys: a file without them opens and finds less.
    {"name grams", 8, 4, false},
    {"locality roads", 8, 4, false},
    {"English roads", 8, 4, false},
    {"initial roads", 8, 4, false},
    {"slip roads", 8, 4, false},
};

// A building number as one number in the order of the rows: basement, then
// the number, then the sub-number. Numbers past 32767 (none is real) share
// one key, so the keys still follow the rows.
constexpr std::uint32_t RowKey(bool basement, std::uint32_t main, std::uint32_t sub) {
  const std::uint32_t number = main > 0x7FFF ? 0x7FFFFFFFu : main << 16 | (sub > 0xFFFF ? 0xFFFFu : sub);
  return (basement ? 1u << 31 : 0u) | number;
}

// Whether a key names one number (not the one shared past 32767).
constexpr bool KeyIsExact(std::uint32_t key) { return (key & 0x7FFFFFFFu) != 0x7FFFFFFFu; }

// The bucket where a building of the road name (by its NameHash) and the
// key belongs, of buckets.
inline std::size_t BuildingHome(std::uint32_t nameHash, std::uint32_t key, std::size_t buckets) {
  std::uint64_t h = (std::uint64_t{nameHash} << 32 | key) * 0x9E3779B97F4A7C15ull;
  h ^= h >> 31;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 29;
  return static_cast<std::size_t>(h % buckets);
}

}  // namespace jasokit::detail::addrdb

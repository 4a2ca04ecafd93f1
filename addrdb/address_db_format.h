#pragma once
// The address database file. Little-endian, every section 4-byte aligned:
//   header (kHeaderBytes): magic, version, byte-order mark, file size,
//     section count, then per section its offset and size (u64 each)
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
//   row keys:  u32 per row, RowKey of its number, so that the search for a
//              number within a road reads 4 bytes a row, not 40
//   row fences: the row key of every kFenceStep-th row, a small table that
//              stays in cache, so that a number is found in the national
//              data with one read of the keys and one of the row
// A reader checks the header and section bounds on open and every
// reference as it follows it, so a damaged file never leads out of bounds.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace jasokit::detail::addrdb {

inline constexpr std::string_view kMagic = "JKADDRDB";
inline constexpr std::uint32_t kFormatVersion = 2;
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
  kRowKeys,
  kRowFences,
  kSectionCount,
};

// magic 8, version 4, byte-order mark 4, file size 8, section count 4,
// reserved 4, then the table.
inline constexpr std::size_t kTableOffset = 32;
inline constexpr std::size_t kHeaderBytes = kTableOffset + kSectionCount * 16;

using StrRef = std::uint32_t;

struct RoadRecord {
  StrRef region, regionEn, city, cityEn, town, townEn, name, nameEn;
  std::uint32_t firstRow, rowCount;
};
static_assert(sizeof(RoadRecord) == 40);

enum RowFlag : std::uint8_t { kBasement = 1, kMountain = 2 };

// Postcodes as numbers: five-digit codes as they are, six-digit ones plus
// kSixDigits, so the two systems never meet; 0 is none.
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

inline constexpr std::size_t kRecordSize[kSectionCount] = {
    1, sizeof(RoadRecord), sizeof(RowRecord), sizeof(RoadNameEntry), 4, 4, 4, sizeof(NameEntry), 1, 4, 4,
};

// Rows per fence: 16 keys fill one cache line.
inline constexpr std::size_t kFenceStep = 16;

// A building number as one number in the order of the rows: basement, then
// the number, then the sub-number. Numbers past 32767 (none is real) share
// one key, so the keys still follow the rows.
constexpr std::uint32_t RowKey(bool basement, std::uint32_t main, std::uint32_t sub) {
  const std::uint32_t number = main > 0x7FFF ? 0x7FFFFFFFu : main << 16 | (sub > 0xFFFF ? 0xFFFFu : sub);
  return (basement ? 1u << 31 : 0u) | number;
}

}  // namespace jasokit::detail::addrdb

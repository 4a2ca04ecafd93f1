#pragma once
// Collects the rows of Korea Post files and writes them as an address
// database (address_db_format.h). Memory: one 40-byte record per row and
// each distinct text once.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "addrdb/address_db_format.h"

namespace jasokit::detail::addrdb {

// One building as read from a source: texts in UTF-8, numbers parsed.
struct SourceRow {
  std::string_view region, regionEn, city, cityEn, town, townEn, road, roadEn;
  std::string_view building, bulk, dong, ri;
  std::uint32_t postcode = 0, oldPostcode = 0;  // as in RowRecord
  std::uint32_t main = 0, sub = 0, lotMain = 0, lotSub = 0;
  bool basement = false, mountain = false;
};

// The sections of a file, written after a header that gives each one's id,
// place, size and checksum (address_db_format.h). A section is added by its
// id; its bytes must live until Write.
class SectionList {
 public:
  void Add(Section id, std::string_view bytes);
  // The header, then every section in the order added, each aligned as its
  // SectionInfo says; false as soon as sink is.
  bool Write(const std::function<bool(std::string_view)>& sink) const;

 private:
  std::vector<std::pair<Section, std::string_view>> m_sections;
};

// Sets the checksums of an image's section table and header to its bytes as
// they stand, for tests and fuzzing that damage a file past its checksums
// to reach the reader's own checks. The image must hold its whole table.
void SealImage(std::string& image);

class AddressDbWriter {
 public:
  AddressDbWriter();
  void Add(const SourceRow& row);
  // A line for the info section ("source\t...", "skipped\tN").
  void AddInfo(std::string_view line);
  std::size_t rowCount() const { return m_rows.size(); }
  // After Write: the rows dropped as copies of others, and the texts cut
  // to 255 bytes (at a character's start).
  std::size_t merged() const { return m_merged; }
  std::size_t cut() const { return m_cut; }

  // Sorts, indexes and hands the file to sink piece by piece; false as soon
  // as sink does.
  bool Write(const std::function<bool(std::string_view)>& sink);

 private:
  StrRef Intern(std::string_view text);
  void MergeDuplicates();
  std::string_view Text(StrRef ref) const;
  std::uint32_t RoadId(const SourceRow& row);
  std::vector<std::uint32_t> RankRoads() const;
  std::vector<std::uint32_t> SortRows(const std::vector<std::uint32_t>& roadRank) const;
  // Rows by locality name, lot number and 산.
  std::vector<std::uint32_t> LotIndex(const std::vector<RowRecord>& rows) const;
  // Building and bulk-delivery names with their rows, by name.
  std::vector<NameEntry> NameIndex(const std::vector<RowRecord>& rows) const;
  // Every building in the hash table's buckets, by road name and number.
  std::vector<BuildingBucket> BuildingTable(const std::vector<RowRecord>& rows,
                                            const std::vector<RoadRecord>& roads) const;

  std::string m_strings;
  std::unordered_map<std::string, StrRef> m_interned;
  struct RoadKeyHash {
    std::size_t operator()(const RoadRecord& r) const;
  };
  struct RoadKeyEqual {
    bool operator()(const RoadRecord& a, const RoadRecord& b) const;
  };
  std::unordered_map<RoadRecord, std::uint32_t, RoadKeyHash, RoadKeyEqual> m_roadIds;
  std::vector<RoadRecord> m_roads;
  std::vector<RowRecord> m_rows;
  std::string m_info;
  std::size_t m_merged = 0;
  std::size_t m_cut = 0;
};

// "Suwon-si Yeongtong-gu" (largest first) becomes "Yeongtong-gu, Suwon-si";
// a name already smallest first, or of one word, stays.
std::string SmallestFirst(std::string_view cityEn);

}  // namespace jasokit::detail::addrdb

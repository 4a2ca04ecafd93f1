#include "addrdb/address_db_writer.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <numeric>
#include <tuple>

#include "addrdb/crc32c.h"
#include "addrdb/search_index.h"

namespace jasokit::detail::addrdb {

namespace {

constexpr std::size_t kMaxStringBytes = 255;  // one length byte

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool IsUnitName(std::string_view word) {
  return EndsWith(word, "-si") || EndsWith(word, "-gu") || EndsWith(word, "-gun");
}

// Ranks of distinct strings by their bytes, for sorting by text with
// integer comparisons.
class TextRanks {
 public:
  template <typename TextOf>
  TextRanks(std::vector<StrRef> refs, TextOf text) {
    std::sort(refs.begin(), refs.end());
    refs.erase(std::unique(refs.begin(), refs.end()), refs.end());
    std::sort(refs.begin(), refs.end(), [&](StrRef a, StrRef b) { return text(a) < text(b); });
    for (std::uint32_t i = 0; i < refs.size(); ++i) m_rank.emplace(refs[i], i);
  }
  std::uint32_t operator[](StrRef ref) const { return m_rank.at(ref); }

 private:
  std::unordered_map<StrRef, std::uint32_t> m_rank;
};

template <typename T>
std::string_view Bytes(const std::vector<T>& v) {
  return std::string_view(reinterpret_cast<const char*>(v.data()), v.size() * sizeof(T));
}

void PutLe(std::string& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::string SmallestFirst(std::string_view cityEn) {
  const std::size_t space = cityEn.find(' ');
  if (space == std::string_view::npos || cityEn.find(',') != std::string_view::npos) return std::string(cityEn);
  const std::string_view first = cityEn.substr(0, space);
  const std::string_view second = cityEn.substr(space + 1);
  if (!IsUnitName(first) || !IsUnitName(second) || second.find(' ') != std::string_view::npos) {
    return std::string(cityEn);
  }
  return std::string(second) + ", " + std::string(first);
}

AddressDbWriter::AddressDbWriter() { m_strings.assign(1, '\0'); }

StrRef AddressDbWriter::Intern(std::string_view text) {
  if (text.size() > kMaxStringBytes) {
    // Cut before a character, never inside one.
    std::size_t end = kMaxStringBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text = text.substr(0, end);
    ++m_cut;
  }
  if (text.empty()) return 0;
  auto [it, added] = m_interned.try_emplace(std::string(text), 0);
  if (added) {
    it->second = static_cast<StrRef>(m_strings.size());
    m_strings += static_cast<char>(text.size());
    m_strings += text;
  }
  return it->second;
}

std::string_view AddressDbWriter::Text(StrRef ref) const {
  const auto size = static_cast<unsigned char>(m_strings[ref]);
  return std::string_view(m_strings).substr(ref + 1, size);
}

std::size_t AddressDbWriter::RoadKeyHash::operator()(const RoadRecord& r) const {
  std::size_t h = 1469598103934665603ull;
  for (StrRef v : {r.region, r.regionEn, r.city, r.cityEn, r.town, r.townEn, r.name, r.nameEn}) {
    h = (h ^ v) * 1099511628211ull;
  }
  return h;
}

bool AddressDbWriter::RoadKeyEqual::operator()(const RoadRecord& a, const RoadRecord& b) const {
  return std::tie(a.region, a.regionEn, a.city, a.cityEn, a.town, a.townEn, a.name, a.nameEn) ==
         std::tie(b.region, b.regionEn, b.city, b.cityEn, b.town, b.townEn, b.name, b.nameEn);
}

std::uint32_t AddressDbWriter::RoadId(const SourceRow& row) {
  RoadRecord key{};
  key.region = Intern(row.region);
  key.regionEn = Intern(row.regionEn);
  key.city = Intern(row.city);
  key.cityEn = Intern(SmallestFirst(row.cityEn));
  key.town = Intern(row.town);
  key.townEn = Intern(row.townEn);
  key.name = Intern(row.road);
  key.nameEn = Intern(row.roadEn);
  auto [it, added] = m_roadIds.try_emplace(key, static_cast<std::uint32_t>(m_roads.size()));
  if (added) m_roads.push_back(key);
  return it->second;
}

void AddressDbWriter::Add(const SourceRow& row) {
  RowRecord r{};
  r.road = RoadId(row);
  r.dong = Intern(row.dong);
  r.ri = Intern(row.ri);
  r.building = Intern(row.building);
  r.bulk = Intern(row.bulk);
  r.postcode = row.postcode;
  r.oldPostcode = row.oldPostcode;
  r.lotMain = row.lotMain;
  r.main = static_cast<std::uint16_t>(row.main);
  r.sub = static_cast<std::uint16_t>(row.sub);
  r.lotSub = static_cast<std::uint16_t>(row.lotSub);
  r.flags = static_cast<std::uint8_t>((row.basement ? kBasement : 0) | (row.mountain ? kMountain : 0));
  m_rows.push_back(r);
}

void AddressDbWriter::AddInfo(std::string_view line) {
  m_info += line;
  m_info += '\n';
}

// Drops every row the same in all its fields as one before it (the same
// source given twice, a building listed twice), keeping the order of the
// rest: sorted indexes, so that a million copies cost no more than a
// million rows.
void AddressDbWriter::MergeDuplicates() {
  const auto key = [this](std::uint32_t i) {
    const RowRecord& r = m_rows[i];
    return std::make_tuple(r.road, r.main, r.sub, r.flags, r.dong, r.ri, r.building, r.bulk, r.postcode, r.oldPostcode,
                           r.lotMain, r.lotSub);
  };
  std::vector<std::uint32_t> order(m_rows.size());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    const auto ka = key(a), kb = key(b);
    return ka < kb || (ka == kb && a < b);
  });
  std::vector<bool> duplicate(m_rows.size());
  for (std::size_t k = 1; k < order.size(); ++k) {
    if (key(order[k]) == key(order[k - 1])) duplicate[order[k]] = true;
  }
  std::vector<std::uint32_t>().swap(order);
  std::size_t kept = 0;
  for (std::size_t i = 0; i < m_rows.size(); ++i) {
    if (!duplicate[i]) m_rows[kept++] = m_rows[i];
  }
  m_merged += m_rows.size() - kept;
  m_rows.resize(kept);
}

// Rank of each road by region, city, town and name.
std::vector<std::uint32_t> AddressDbWriter::RankRoads() const {
  std::vector<std::uint32_t> order(m_roads.size());
  std::iota(order.begin(), order.end(), 0u);
  auto key = [this](const RoadRecord& r) {
    return std::make_tuple(Text(r.region), Text(r.city), Text(r.town), Text(r.name), Text(r.nameEn), Text(r.cityEn),
                           Text(r.townEn), Text(r.regionEn));
  };
  std::sort(order.begin(), order.end(),
            [&](std::uint32_t a, std::uint32_t b) { return key(m_roads[a]) < key(m_roads[b]); });
  std::vector<std::uint32_t> rank(m_roads.size());
  for (std::uint32_t i = 0; i < order.size(); ++i) rank[order[i]] = i;
  return rank;
}

// Row order of the file: by road, basement, number; the source order breaks ties.
std::vector<std::uint32_t> AddressDbWriter::SortRows(const std::vector<std::uint32_t>& roadRank) const {
  std::vector<std::uint32_t> order(m_rows.size());
  std::iota(order.begin(), order.end(), 0u);
  auto key = [&](std::uint32_t i) {
    const RowRecord& r = m_rows[i];
    return std::make_tuple(roadRank[r.road], r.flags & kBasement, r.main, r.sub, i);
  };
  std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
  return order;
}

namespace {

// The rows in the order given, their roads renumbered by rank; each road
// gets its run of rows.
std::vector<RowRecord> PlaceRows(const std::vector<RowRecord>& source, const std::vector<std::uint32_t>& order,
                                 const std::vector<std::uint32_t>& roadRank, std::vector<RoadRecord>& roads) {
  for (RoadRecord& r : roads) r.firstRow = r.rowCount = 0;
  std::vector<RowRecord> rows;
  rows.reserve(order.size());
  for (std::uint32_t i : order) {
    RowRecord r = source[i];
    r.road = roadRank[r.road];
    RoadRecord& road = roads[r.road];
    if (road.rowCount++ == 0) road.firstRow = static_cast<std::uint32_t>(rows.size());
    rows.push_back(r);
  }
  return rows;
}

// Rows with a code, by code; the row order breaks ties.
std::vector<std::uint32_t> CodeIndex(const std::vector<RowRecord>& rows, std::uint32_t RowRecord::*code) {
  std::vector<std::uint32_t> index;
  for (std::uint32_t i = 0; i < rows.size(); ++i) {
    if (rows[i].*code != 0) index.push_back(i);
  }
  std::stable_sort(index.begin(), index.end(),
                   [&](std::uint32_t a, std::uint32_t b) { return rows[a].*code < rows[b].*code; });
  return index;
}

std::size_t DistinctCodes(const std::vector<RowRecord>& rows, const std::vector<std::uint32_t>& index,
                          std::uint32_t RowRecord::*code) {
  std::size_t n = 0;
  for (std::size_t k = 0; k < index.size(); ++k) {
    if (k == 0 || rows[index[k]].*code != rows[index[k - 1]].*code) ++n;
  }
  return n;
}

std::uint64_t AlignUp(std::uint64_t offset, std::size_t align) { return (offset + align - 1) / align * align; }

}  // namespace

void SectionList::Add(Section id, std::string_view bytes) { m_sections.emplace_back(id, bytes); }

namespace {

std::uint64_t GetLe(std::string_view bytes, std::size_t at, int size) {
  std::uint64_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  return v;
}

void SetLe(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

}  // namespace

void SealImage(std::string& image) {
  const std::size_t count = image.size() < kTableOffset ? 0 : static_cast<std::size_t>(GetLe(image, 24, 4));
  if (count > kMaxSections || image.size() < HeaderBytes(count)) return;
  for (std::size_t k = 0; k < count; ++k) {
    const std::size_t at = kTableOffset + k * kTableEntryBytes;
    const std::uint64_t offset = GetLe(image, at + 8, 8), size = GetLe(image, at + 16, 8);
    if (offset <= image.size() && size <= image.size() - offset) {
      SetLe(image, at + 4, Crc32c(std::string_view(image).substr(offset, size)));
    }
  }
  SetLe(image, kChecksumOffset, 0);
  SetLe(image, kChecksumOffset, Crc32c(std::string_view(image).substr(0, HeaderBytes(count))));
}

bool SectionList::Write(const std::function<bool(std::string_view)>& sink) const {
  std::vector<std::uint64_t> offsets;
  std::uint64_t end = HeaderBytes(m_sections.size());
  for (const auto& [id, bytes] : m_sections) {
    offsets.push_back(AlignUp(end, kSectionInfo[id].align));
    end = offsets.back() + bytes.size();
  }
  end = AlignUp(end, 4);
  std::string header(kMagic);
  PutLe(header, kFormatVersion, 4);
  PutLe(header, kByteOrderMark, 4);
  PutLe(header, end, 8);
  PutLe(header, m_sections.size(), 4);
  PutLe(header, 0, 4);  // the header's checksum, below
  for (std::size_t k = 0; k < m_sections.size(); ++k) {
    PutLe(header, m_sections[k].first, 4);
    PutLe(header, Crc32c(m_sections[k].second), 4);
    PutLe(header, offsets[k], 8);
    PutLe(header, m_sections[k].second.size(), 8);
  }
  SetLe(header, kChecksumOffset, Crc32c(header));
  if (!sink(header)) return false;
  static constexpr char kPadding[64] = {};
  std::uint64_t at = header.size();
  for (std::size_t k = 0; k <= m_sections.size(); ++k) {
    const std::uint64_t next = k < m_sections.size() ? offsets[k] : end;
    if (next > at && !sink(std::string_view(kPadding, next - at))) return false;
    if (k == m_sections.size()) break;
    if (!sink(m_sections[k].second)) return false;
    at = next + m_sections[k].second.size();
  }
  return true;
}

std::vector<std::uint32_t> AddressDbWriter::LotIndex(const std::vector<RowRecord>& rows) const {
  std::vector<StrRef> localities;
  localities.reserve(rows.size());
  for (const RowRecord& r : rows) localities.push_back(r.ri != 0 ? r.ri : r.dong);
  std::vector<std::uint32_t> localityRanks(rows.size());
  {
    const TextRanks ranks(localities, [this](StrRef s) { return Text(s); });
    for (std::size_t i = 0; i < rows.size(); ++i) localityRanks[i] = ranks[localities[i]];
  }
  std::vector<StrRef>().swap(localities);
  std::vector<std::uint32_t> lots(rows.size());
  std::iota(lots.begin(), lots.end(), 0u);
  auto lotKey = [&](std::uint32_t i) {
    const RowRecord& r = rows[i];
    return std::make_tuple(localityRanks[i], r.lotMain, r.lotSub, r.flags & kMountain, i);
  };
  std::sort(lots.begin(), lots.end(), [&](std::uint32_t a, std::uint32_t b) { return lotKey(a) < lotKey(b); });
  return lots;
}

std::vector<NameEntry> AddressDbWriter::NameIndex(const std::vector<RowRecord>& rows) const {
  std::vector<NameEntry> names;
  std::vector<StrRef> nameRefs;
  for (std::uint32_t i = 0; i < rows.size(); ++i) {
    for (StrRef s : {rows[i].building, rows[i].bulk}) {
      if (s == 0) continue;
      names.push_back(NameEntry{s, i});
      nameRefs.push_back(s);
    }
  }
  // Sorted as (rank, entry) pairs, the entries put in that order after.
  const TextRanks nameRank(std::move(nameRefs), [this](StrRef s) { return Text(s); });
  std::vector<std::pair<std::uint32_t, std::uint32_t>> keyed;
  keyed.reserve(names.size());
  for (std::size_t k = 0; k < names.size(); ++k) {
    keyed.emplace_back(nameRank[names[k].name], static_cast<std::uint32_t>(k));
  }
  std::sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
    return std::make_pair(a.first, names[a.second].row) < std::make_pair(b.first, names[b.second].row);
  });
  std::vector<NameEntry> sorted;
  sorted.reserve(names.size());
  for (const auto& k : keyed) sorted.push_back(names[k.second]);
  return sorted;
}

// Every building with a number that its key names exactly, in the bucket
// its road name and number hash to or, that one full, in the next with room.
// Four buildings a bucket of five on average: a bucket seldom overflows.
std::vector<BuildingBucket> AddressDbWriter::BuildingTable(const std::vector<RowRecord>& rows,
                                                           const std::vector<RoadRecord>& roads) const {
  std::vector<std::uint32_t> nameHashes;
  nameHashes.reserve(roads.size());
  for (const RoadRecord& road : roads) nameHashes.push_back(NameHash(Text(road.name)));
  BuildingBucket empty{};
  std::fill(std::begin(empty.roads), std::end(empty.roads), kNoRoad);
  std::vector<BuildingBucket> buckets(std::max<std::size_t>(1, (rows.size() + 3) / 4), empty);
  std::vector<std::uint8_t> used(buckets.size());
  // A road and number's rows follow one another. Its first postcode and
  // one other tell conversion all it needs (the one code, or that there are
  // several): more slots would only lengthen the probe.
  std::uint32_t lastRoad = kNoRoad, lastKey = 0, firstCode = 0;
  std::size_t taken = 0;
  for (const RowRecord& r : rows) {
    const std::uint32_t key = RowKey(r.flags & kBasement, r.main, r.sub);
    if (!KeyIsExact(key)) continue;
    const std::uint32_t code = r.postcode != 0 ? r.postcode : r.oldPostcode;
    if (r.road != lastRoad || key != lastKey) {
      lastRoad = r.road;
      lastKey = key;
      firstCode = code;
      taken = 0;
    } else if (taken == 2 || code == firstCode) {
      continue;
    }
    ++taken;
    std::size_t b = BuildingHome(nameHashes[r.road], key, buckets.size());
    while (used[b] == kBucketSlots) {
      buckets[b].overflow = 1;
      b = b + 1 == buckets.size() ? 0 : b + 1;
    }
    BuildingBucket& bucket = buckets[b];
    const std::size_t slot = used[b]++;
    bucket.keys[slot] = key;
    bucket.roads[slot] = r.road;
    bucket.postcodes[slot] = code;
  }
  return buckets;
}

bool AddressDbWriter::Write(const std::function<bool(std::string_view)>& sink) {
  MergeDuplicates();
  const std::vector<std::uint32_t> roadRank = RankRoads();
  std::vector<RoadRecord> roads(m_roads.size());
  for (std::uint32_t id = 0; id < m_roads.size(); ++id) roads[roadRank[id]] = m_roads[id];
  const std::vector<RowRecord> rows = PlaceRows(m_rows, SortRows(roadRank), roadRank, roads);
  std::vector<RowRecord>().swap(m_rows);

  std::vector<RoadNameEntry> roadNames(roads.size());
  for (std::uint32_t k = 0; k < roads.size(); ++k) {
    const std::string_view name = Text(roads[k].name);
    NamePrefix(name, roadNames[k].head, roadNames[k].tail);
    roadNames[k].road = k;
    roadNames[k].hash = NameHash(name);
  }
  std::stable_sort(roadNames.begin(), roadNames.end(), [&](const RoadNameEntry& a, const RoadNameEntry& b) {
    return std::make_tuple(a.head, a.tail, a.hash, Text(roads[a.road].name)) <
           std::make_tuple(b.head, b.tail, b.hash, Text(roads[b.road].name));
  });
  const std::vector<std::uint32_t> lots = LotIndex(rows);
  const std::vector<std::uint32_t> postcodes = CodeIndex(rows, &RowRecord::postcode);
  const std::vector<std::uint32_t> oldPostcodes = CodeIndex(rows, &RowRecord::oldPostcode);
  const std::vector<NameEntry> names = NameIndex(rows);
  std::vector<std::uint32_t> rowFences;
  for (std::size_t i = 0; i < rows.size(); i += kFenceStep) {
    rowFences.push_back(RowKey(rows[i].flags & kBasement, rows[i].main, rows[i].sub));
  }
  const std::vector<BuildingBucket> buildings = BuildingTable(rows, roads);
  // Older data has six-digit codes only.
  const std::size_t distinctPostcodes = postcodes.empty() ? DistinctCodes(rows, oldPostcodes, &RowRecord::oldPostcode)
                                                          : DistinctCodes(rows, postcodes, &RowRecord::postcode);
  const std::string info = "rows\t" + std::to_string(rows.size()) + "\nroads\t" + std::to_string(roads.size()) +
                           "\npostcodes\t" + std::to_string(distinctPostcodes) + "\ncurrent\t" +
                           std::to_string(postcodes.size()) + "\nmerged\t" + std::to_string(m_merged) + "\n" + m_info;
  SectionList sections;
  sections.Add(kStrings, m_strings);
  sections.Add(kRoads, Bytes(roads));
  sections.Add(kRows, Bytes(rows));
  sections.Add(kRoadNames, Bytes(roadNames));
  sections.Add(kLots, Bytes(lots));
  sections.Add(kPostcodes, Bytes(postcodes));
  sections.Add(kOldPostcodes, Bytes(oldPostcodes));
  sections.Add(kNames, Bytes(names));
  sections.Add(kInfo, info);
  sections.Add(kRowFences, Bytes(rowFences));
  sections.Add(kBuildings, Bytes(buildings));
  std::string search[kSearchSectionCount];
  BuildSearchSections(SearchSource{[this](StrRef s) { return Text(s); }, roads, rows, names}, search);
  for (std::uint32_t k = 0; k < kSearchSectionCount; ++k)
    sections.Add(static_cast<Section>(kSearchFirst + k), search[k]);
  return sections.Write(sink);
}

}  // namespace jasokit::detail::addrdb

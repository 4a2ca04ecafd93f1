#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <tuple>

#include "addrdb/address_db_reader.h"
#include "addrdb/crc32c.h"
#include "addrdb/sorted_index.h"
#include "jasokit/cp949.h"
#include "tables/official_tables.h"

namespace jasokit {

using namespace detail::addrdb;

namespace {

std::uint64_t GetLe(std::string_view bytes, std::size_t at, int size) {
  std::uint64_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
  return v;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool AllDigits(std::string_view text) { return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit); }

// value's decimal digits written backwards, ending before end; returns
// where they begin. No allocation, unlike std::to_string.
char* DecimalBefore(char* end, std::uint32_t value) {
  do {
    *--end = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  return end;
}

void AppendDecimal(std::string& out, std::uint32_t value) {
  char digits[10];
  char* begin = DecimalBefore(std::end(digits), value);
  out.append(begin, std::end(digits));
}

// Asks for bytes [begin, end) of a section ahead of their use, so that
// their cache misses overlap those before (a hint; nothing on other compilers).
void Prefetch(std::string_view section, std::size_t begin, std::size_t end) {
#if defined(__GNUC__)
  end = std::min(end, section.size());
  if (begin >= end) return;
  // Every line the bytes touch, wherever they begin.
  const auto base = reinterpret_cast<std::uintptr_t>(section.data());
  for (std::uintptr_t at = base + begin; at < base + end; at = (at | 63) + 1) {
    __builtin_prefetch(reinterpret_cast<const void*>(at));
  }
#else
  (void)section;
  (void)begin;
  (void)end;
#endif
}

// A string's first bytes: most names end within them.
void PrefetchString(std::string_view strings, StrRef ref) { Prefetch(strings, ref, std::size_t{ref} + 32); }

// The most fences asked for at once (a road of 2,048 rows; 8 cache lines).
constexpr std::size_t kFencePrefetchLimit = 128;

}  // namespace

namespace detail::addrdb {

bool ParseNumber(std::string_view text, Number& out) {
  const std::size_t dash = text.find('-');
  const std::string_view main = text.substr(0, dash);
  const std::string_view sub = dash == std::string_view::npos ? std::string_view() : text.substr(dash + 1);
  if (!AllDigits(main) || main.size() > 9 || (dash != std::string_view::npos && (!AllDigits(sub) || sub.size() > 5))) {
    return false;
  }
  // At most 9 digits: no overflow.
  const auto value = [](std::string_view digits) {
    std::uint32_t v = 0;
    for (const char c : digits) v = v * 10 + static_cast<std::uint32_t>(c - '0');
    return v;
  };
  out.main = value(main);
  out.sub = value(sub);
  return out.sub <= 0xFFFF;
}

RowBrief BriefOf(const RowRecord& row) {
  return RowBrief{(row.flags & kBasement) != 0, row.main, row.sub, row.postcode != 0 ? row.postcode : row.oldPostcode};
}

bool IsEditionDate(std::string_view text) {
  const bool month = text.size() == 7;
  if ((!month && text.size() != 10) || text[4] != '-' || (!month && text[7] != '-')) return false;
  if (!AllDigits(text.substr(0, 4)) || !AllDigits(text.substr(5, 2)) || (!month && !AllDigits(text.substr(8, 2)))) {
    return false;
  }
  const int mm = (text[5] - '0') * 10 + (text[6] - '0');
  const int dd = month ? 1 : (text[8] - '0') * 10 + (text[9] - '0');
  return mm >= 1 && mm <= 12 && dd >= 1 && dd <= 31;
}

namespace {

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
long long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return static_cast<long long>(era) * 146097 + doe - 719468;
}

}  // namespace

std::string_view RegionRoman(std::string_view utf8) {
  std::string cp949;
  if (utf8.empty() || !Utf8ToCp949(utf8, cp949)) return {};
  for (const PlaceRow& row : kOfficialRegions) {
    if (row.korean == cp949) return row.roman;
  }
  return {};
}

TableEntry EntryAt(std::string_view image, std::size_t k) {
  const std::size_t at = kTableOffset + k * kTableEntryBytes;
  return TableEntry{static_cast<std::uint32_t>(GetLe(image, at, 4)),
                    static_cast<std::uint32_t>(GetLe(image, at + 4, 4)), GetLe(image, at + 8, 8),
                    GetLe(image, at + 16, 8)};
}

std::size_t SectionCountOf(std::string_view image) { return static_cast<std::size_t>(GetLe(image, 24, 4)); }

namespace {

// The header's checksum as written, and as its bytes give it.
bool HeaderSumHolds(std::string_view image, std::size_t headerBytes) {
  std::string header(image.substr(0, headerBytes));
  std::memset(&header[kChecksumOffset], 0, 4);
  return Crc32c(header) == GetLe(image, kChecksumOffset, 4);
}

// Whether entry lies within the file and fits what its id must be.
bool EntryIsSound(const TableEntry& entry, std::size_t headerBytes, std::uint64_t fileSize) {
  if (entry.offset < headerBytes || entry.offset > fileSize || entry.size > fileSize - entry.offset) return false;
  if (entry.id >= kSectionCount) return true;  // a later writer's section: passed over
  const SectionInfo& info = kSectionInfo[entry.id];
  return entry.offset % info.align == 0 && entry.size % info.recordSize == 0;
}

}  // namespace

AddressDbStatus CheckImage(std::string_view bytes, std::string_view (&sections)[kSectionCount]) {
  if (bytes.size() < kMagic.size() || bytes.substr(0, kMagic.size()) != kMagic) return AddressDbStatus::NotADatabase;
  if (bytes.size() < kTableOffset) return AddressDbStatus::Truncated;
  if (GetLe(bytes, 8, 4) != kFormatVersion) return AddressDbStatus::OtherVersion;
  std::uint32_t mark;
  std::memcpy(&mark, bytes.data() + 12, 4);
  if (mark != kByteOrderMark) return AddressDbStatus::OtherVersion;  // written on a machine of the other byte order
  const std::size_t count = SectionCountOf(bytes);
  if (count == 0 || count > kMaxSections) return AddressDbStatus::Damaged;
  const std::size_t headerBytes = HeaderBytes(count);
  if (bytes.size() < headerBytes) return AddressDbStatus::Truncated;
  if (!HeaderSumHolds(bytes, headerBytes)) return AddressDbStatus::Damaged;
  const std::uint64_t fileSize = GetLe(bytes, 16, 8);
  if (fileSize > bytes.size()) return AddressDbStatus::Truncated;
  if (fileSize < bytes.size()) return AddressDbStatus::Damaged;
  bool seen[kSectionCount] = {};
  for (std::size_t k = 0; k < count; ++k) {
    const TableEntry entry = EntryAt(bytes, k);
    if (!EntryIsSound(entry, headerBytes, fileSize)) return AddressDbStatus::Damaged;
    if (entry.id >= kSectionCount) continue;
    if (seen[entry.id]) return AddressDbStatus::Damaged;
    seen[entry.id] = true;
    sections[entry.id] = bytes.substr(entry.offset, entry.size);
  }
  for (std::size_t s = 0; s < kSectionCount; ++s) {
    if (!seen[s] && kSectionInfo[s].required) return AddressDbStatus::Damaged;
  }
  if (sections[kStrings].empty() || sections[kStrings][0] != '\0') return AddressDbStatus::Damaged;
  return AddressDbStatus::Ok;
}

std::string_view FirstDamagedSection(std::string_view image) {
  const std::size_t count = SectionCountOf(image);
  for (std::size_t k = 0; k < count; ++k) {
    const TableEntry entry = EntryAt(image, k);
    if (Crc32c(image.substr(entry.offset, entry.size)) != entry.checksum) {
      return entry.id < kSectionCount ? kSectionInfo[entry.id].name : "unnamed";
    }
  }
  return {};
}

}  // namespace detail::addrdb

const char* AddressDbStatusMessage(AddressDbStatus status) {
  switch (status) {
    case AddressDbStatus::Ok: return "";
    case AddressDbStatus::CannotOpen: return "cannot open the address database";
    case AddressDbStatus::NotADatabase: return "not an address database (build one with 'jasokit addrdb build')";
    case AddressDbStatus::OtherVersion:
      return "an address database of another format version; build it again with 'jasokit addrdb build'";
    case AddressDbStatus::Truncated: return "the address database is truncated; build it again";
    case AddressDbStatus::Damaged: return "the address database is damaged; build it again";
    case AddressDbStatus::Changed:
      return "the address database file was changed while open (replace it by renaming a new file over it)";
  }
  return "";
}

AddressDatabase::AddressDatabase() = default;
AddressDatabase::~AddressDatabase() = default;
AddressDatabase::AddressDatabase(AddressDatabase&&) noexcept = default;
AddressDatabase& AddressDatabase::operator=(AddressDatabase&&) noexcept = default;

bool AddressDatabase::isOpen() const { return m_impl != nullptr; }

AddressDbStatus AddressDatabase::OpenBytes(std::string_view bytes) {
  m_impl.reset();
  auto impl = std::make_unique<Impl>();
  const AddressDbStatus status = CheckImage(bytes, impl->sections);
  impl->image = bytes;
  if (status == AddressDbStatus::Ok) m_impl = std::move(impl);
  return status;
}

AddressDbStatus AddressDatabase::Verify(std::string* damagedSection) const {
  if (!m_impl) return AddressDbStatus::CannotOpen;
  const std::string_view section = FirstDamagedSection(m_impl->image);
  if (!m_impl->Unchanged()) return AddressDbStatus::Changed;  // read while the file changed
  if (section.empty()) return AddressDbStatus::Ok;
  if (damagedSection) damagedSection->assign(section);
  return AddressDbStatus::Damaged;
}

AddressDbStatus AddressDatabase::Open(const std::string& path) {
  m_impl.reset();
  auto impl = std::make_unique<Impl>();
  AddressDbStatus status = MapFile(path, impl->mapped);
  if (status != AddressDbStatus::Ok) return status;
  impl->image = std::string_view(impl->mapped.data, impl->mapped.size);
  status = CheckImage(impl->image, impl->sections);
  if (status != AddressDbStatus::Ok) return status;
  // The first bytes hold the file's size and the checksum of the header,
  // which covers the table and so every section's checksum.
  impl->header.assign(impl->mapped.data, kTableOffset);
  std::size_t mark = impl->mapped.size - 1;
  while (mark > 0 && impl->mapped.data[mark] == '\0') --mark;
  impl->lastMark = mark;
  impl->lastMarkByte = impl->mapped.data[mark];
  // Cut short while being checked: what was read is not the file.
  if (!impl->Unchanged()) return AddressDbStatus::Changed;
  m_impl = std::move(impl);
  return status;
}

AddressDbStatus AddressDatabase::Check() const {
  if (!m_impl || m_impl->Unchanged()) return AddressDbStatus::Ok;
  return AddressDbStatus::Changed;
}

std::pair<std::size_t, std::size_t> AddressDatabase::Impl::RoadNameRange(std::string_view name) const {
  const std::size_t n = Count(kRoadNames);
  std::uint32_t head, tail;
  NamePrefix(name, head, tail);
  const auto want = std::make_tuple(head, tail, NameHash(name));
  auto keyAt = [&](std::size_t k) {
    const auto e = *Record<RoadNameEntry>(kRoadNames, k);
    return std::make_tuple(e.head, e.tail, e.hash);
  };
  const std::size_t lo = FirstNotBefore(0, n, [&](std::size_t k) { return keyAt(k) < want; });
  std::size_t end = lo;
  while (end < n && keyAt(end) == want) ++end;
  return {lo, end};
}

void AddressDatabase::Impl::AskForRoads(std::size_t first, std::size_t last) const {
  if (last - first > kRoadPrefetchLimit) return;
  std::uint32_t roads[kRoadPrefetchLimit] = {};
  for (std::size_t k = first; k < last; ++k) roads[k - first] = Record<RoadNameEntry>(kRoadNames, k)->road;
  AskForRoads(roads, last - first, true);
}

void AddressDatabase::Impl::AskForRoads(const std::uint32_t* roads, std::size_t count, bool fences) const {
  if (count > kRoadPrefetchLimit) return;
  for (std::size_t k = 0; k < count; ++k) {
    Prefetch(sections[kRoads], std::size_t{roads[k]} * sizeof(RoadRecord),
             (std::size_t{roads[k]} + 1) * sizeof(RoadRecord));
  }
  const std::string_view strings = sections[kStrings];
  for (std::size_t k = 0; k < count; ++k) {
    const auto road = Road(roads[k]);
    if (!road) continue;
    // The names compared and those an answer writes.
    for (const StrRef ref :
         {road->name, road->city, road->town, road->region, road->regionEn, road->nameEn, road->cityEn, road->townEn}) {
      PrefetchString(strings, ref);
    }
    if (!fences) continue;
    const std::size_t fence = (std::size_t{road->firstRow} + kFenceStep - 1) / kFenceStep;
    const std::size_t blocks = (std::size_t{road->rowCount} + kFenceStep - 1) / kFenceStep + 1;
    if (blocks <= kFencePrefetchLimit) Prefetch(sections[kRowFences], fence * 4, (fence + blocks) * 4);
  }
}

bool AddressDatabase::Impl::NarrowByFences(std::uint32_t want, std::size_t& lo, std::size_t& hi) const {
  const std::size_t fences = Count(kRowFences);
  if (fences != (Count(kRows) + kFenceStep - 1) / kFenceStep) return false;
  // The fences of the rows in [lo, hi); the first whose key is not below
  // want bounds the run from above, the one before it from below.
  std::size_t first = (lo + kFenceStep - 1) / kFenceStep, last = (hi + kFenceStep - 1) / kFenceStep;
  const std::size_t end = last;
  // A road's fences take a few lines: asked for at once, the search below
  // waits for memory once instead of at each step.
  if (last - first <= kFencePrefetchLimit) Prefetch(sections[kRowFences], first * 4, last * 4);
  while (first < last) {
    const std::size_t mid = first + (last - first) / 2;
    if (IndexAt(kRowFences, mid) < want)
      first = mid + 1;
    else
      last = mid;
  }
  if (first < end) hi = first * kFenceStep;
  if (first > (lo + kFenceStep - 1) / kFenceStep) lo = (first - 1) * kFenceStep + 1;
  return true;
}

bool AddressDatabase::Impl::RowsOfRoad(const RoadRecord& road, const Number* number,
                                       std::vector<std::uint32_t>& out) const {
  const std::size_t rows = Count(kRows);
  if (road.firstRow >= rows || road.rowCount > rows - road.firstRow || road.rowCount == 0) return false;
  const std::size_t end = road.firstRow + std::size_t{road.rowCount};
  if (!number) {
    for (std::size_t i = road.firstRow; i < end; ++i) out.push_back(static_cast<std::uint32_t>(i));
    return true;
  }
  const std::uint32_t want = RowKey(number->marked, number->main, number->sub);
  std::size_t lo = road.firstRow, hi = end;
  // The fences leave a block of rows, fetched at once and searched.
  if (NarrowByFences(want, lo, hi)) Prefetch(sections[kRows], lo * sizeof(RowRecord), hi * sizeof(RowRecord));
  auto keyAt = [&](std::size_t i) {
    const RowRecord r = *Row(i);
    return RowKey(r.flags & kBasement, r.main, r.sub);
  };
  lo = FirstNotBefore(lo, hi, [&](std::size_t i) { return keyAt(i) < want; });
  for (std::size_t i = lo; i < end && keyAt(i) == want; ++i) {
    const RowRecord r = *Row(i);
    if (r.main == number->main && r.sub == number->sub && ((r.flags & kBasement) != 0) == number->marked) {
      out.push_back(static_cast<std::uint32_t>(i));
    }
  }
  return true;
}

void AddressDatabase::Impl::BuildingsAt(std::uint32_t nameHash, std::uint32_t key,
                                        std::vector<BuildingSlot>& out) const {
  const std::size_t buckets = Count(kBuildings);
  if (buckets == 0) return;
  std::size_t b = BuildingHome(nameHash, key, buckets);
  // A damaged file may mark every bucket: each is read once at most.
  for (std::size_t visited = 0; visited < buckets; ++visited) {
    const BuildingBucket bucket = *Record<BuildingBucket>(kBuildings, b);
    for (std::size_t k = 0; k < kBucketSlots; ++k) {
      if (bucket.roads[k] != kNoRoad && bucket.keys[k] == key) out.push_back({bucket.roads[k], bucket.postcodes[k]});
    }
    if (bucket.overflow == 0) return;
    b = b + 1 == buckets ? 0 : b + 1;
  }
}

void AddressDatabase::Impl::AskForBuildings(std::uint32_t nameHash, std::uint32_t key) const {
  const std::size_t buckets = Count(kBuildings);
  if (buckets == 0) return;
  const std::size_t at = BuildingHome(nameHash, key, buckets) * sizeof(BuildingBucket);
  Prefetch(sections[kBuildings], at, at + sizeof(BuildingBucket));
}

void AddressDatabase::Impl::RowsAtLot(std::string_view locality, const Number& lot,
                                      std::vector<std::uint32_t>& out) const {
  const std::size_t n = Count(kLots);
  auto key = [&](std::size_t k) {
    const auto row = Row(IndexAt(kLots, k));
    if (!row) return std::make_tuple(std::string_view(), std::uint32_t{0}, std::uint32_t{0}, 0);
    return std::make_tuple(Str(row->ri != 0 ? row->ri : row->dong), row->lotMain, std::uint32_t{row->lotSub},
                           row->flags & kMountain ? 1 : 0);
  };
  const auto want = std::make_tuple(locality, lot.main, lot.sub, lot.marked ? 1 : 0);
  const std::size_t lo = FirstNotBefore(0, n, [&](std::size_t k) { return key(k) < want; });
  for (std::size_t k = lo; k < n && key(k) == want; ++k) out.push_back(IndexAt(kLots, k));
}

bool AddressDatabase::Impl::NamesPlaceOf(const RoadRecord& road, const RowRecord& row, std::string_view word) const {
  const std::string_view region = Str(road.region);
  if (word == region) return true;
  const std::string_view roman = RegionRoman(word);
  if (!roman.empty() && roman == RegionRoman(region)) return true;
  const std::string_view city = Str(road.city);
  if (word == city) return true;
  const std::size_t space = city.find(' ');
  if (space != std::string_view::npos && (word == city.substr(0, space) || word == city.substr(space + 1))) {
    return true;
  }
  return word == Str(road.town) || word == Str(row.dong) || word == Str(row.ri);
}

std::string AddressDatabase::Impl::PostcodeText(std::uint32_t code) {
  std::string text;
  PostcodeText(code, text);
  return text;
}

void AddressDatabase::Impl::PostcodeText(std::uint32_t code, std::string& out) {
  out.clear();
  if (code == 0) return;
  const bool six = code >= kSixDigits;
  const std::uint32_t value = six ? code - kSixDigits : code;
  // Written from the last digit, zero-padded to the code's width; a
  // six-digit code's first three digits move left for the dash.
  char text[16];
  std::size_t at = static_cast<std::size_t>(DecimalBefore(std::end(text), value) - text);
  while (sizeof text - at < (six ? 6u : 5u)) text[--at] = '0';
  if (six) {
    std::memmove(text + at - 1, text + at, 3);
    text[at + 2] = '-';
    --at;
  }
  out.assign(text + at, sizeof text - at);
}

namespace {

void AppendWord(std::string& out, std::string_view word, std::string_view separator = " ") {
  if (word.empty()) return;
  if (!out.empty()) out += separator;
  out += word;
}

void AppendNumber(std::string& out, std::uint32_t main, std::uint32_t sub) {
  AppendDecimal(out, main);
  if (sub != 0) {
    out += '-';
    AppendDecimal(out, sub);
  }
}

std::string NumberText(std::uint32_t main, std::uint32_t sub) {
  std::string text;
  AppendNumber(text, main, sub);
  return text;
}

}  // namespace

std::string AddressDatabase::Impl::EnglishStreet(const RoadRecord& road, const RowBrief& row) const {
  std::string street;
  EnglishStreet(road, row, street);
  return street;
}

void AddressDatabase::Impl::EnglishStreet(const RoadRecord& road, const RowBrief& row, std::string& out) const {
  out.clear();
  if (row.basement) out += 'B';
  AppendNumber(out, row.main, row.sub);
  out += ' ';
  out += Str(road.nameEn);
}

std::string AddressDatabase::Impl::EnglishDistrict(const RoadRecord& road) const {
  std::string district;
  EnglishDistrict(road, district);
  return district;
}

void AddressDatabase::Impl::EnglishDistrict(const RoadRecord& road, std::string& out) const {
  out.clear();
  AppendWord(out, Str(road.townEn), ", ");
  AppendWord(out, Str(road.cityEn), ", ");
}

bool AddressDatabase::Impl::Describe(std::uint32_t index, AddressMatch& m) const {
  m = AddressMatch{};
  const auto row = Row(index);
  const auto road = row ? Road(row->road) : std::nullopt;
  if (!road) return false;
  for (const StrRef ref : {road->region, road->regionEn, road->city, road->cityEn, road->town, road->townEn, road->name,
                           road->nameEn, row->dong, row->ri, row->building, row->bulk}) {
    if (!StrSound(ref)) return false;
  }
  if (road->region == 0 || road->name == 0) return false;
  m.postcode = row->postcode < kSixDigits ? PostcodeText(row->postcode) : std::string();
  m.oldPostcode = PostcodeText(row->oldPostcode);
  m.building = std::string(Str(row->building != 0 ? row->building : row->bulk));
  std::string place;
  AppendWord(place, Str(road->region));
  AppendWord(place, Str(road->city));
  AppendWord(place, Str(road->town));
  m.address = place;
  AppendWord(m.address, Str(road->name));
  AppendWord(m.address, std::string(row->flags & kBasement ? "지하 " : "") + NumberText(row->main, row->sub));
  if (!m.building.empty()) m.address += " (" + m.building + ")";
  m.lot = place;
  if (Str(row->dong) != Str(road->town)) AppendWord(m.lot, Str(row->dong));
  AppendWord(m.lot, Str(row->ri));
  AppendWord(m.lot, std::string(row->flags & kMountain ? "산" : "") + NumberText(row->lotMain, row->lotSub));
  m.english = EnglishStreet(*road, BriefOf(*row));
  AppendWord(m.english, EnglishDistrict(*road), ", ");
  AppendWord(m.english, Str(road->regionEn), ", ");
  return true;
}

namespace {

// One "key<TAB>value" line of the info section into info. The counts are
// the writer's first lines; a later line of the same key (none is
// written) cannot change them.
void ReadInfoLine(std::string_view key, const std::string& value, bool (&counted)[3], AddressDbInfo& info) {
  const std::size_t number = AllDigits(value) && value.size() < 19 ? std::stoull(value) : 0;
  std::size_t* const counts[3] = {&info.rows, &info.roads, &info.postcodes};
  const std::string_view countKeys[3] = {"rows", "roads", "postcodes"};
  for (std::size_t k = 0; k < 3; ++k) {
    if (key == countKeys[k] && !counted[k]) {
      *counts[k] = number;
      counted[k] = true;
    }
  }
  if (key == "current") info.currentPostcodeRows = number;
  if (key == "merged") info.merged = number;
  if (key == "skipped") info.skipped += number;
  if (key == "source") info.sources.push_back(value);
  if (key == "edition" && IsEditionDate(value) && value > info.newestEdition) info.newestEdition = value;
}

}  // namespace

AddressDbInfo AddressDatabase::Info() const {
  AddressDbInfo info;
  if (!m_impl) return info;
  info.formatVersion = kFormatVersion;
  std::string_view text = m_impl->sections[kInfo];
  bool counted[3] = {};
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(text.size(), end + 1));
    const std::size_t tab = line.find('\t');
    if (tab != std::string_view::npos)
      ReadInfoLine(line.substr(0, tab), std::string(line.substr(tab + 1)), counted, info);
  }
  return info;
}

long long AddressDbAgeDays(const AddressDbInfo& info, long long now) {
  const std::string& e = info.newestEdition;
  if (!IsEditionDate(e)) return -1;
  const auto two = [&](std::size_t at) { return (e[at] - '0') * 10 + (e[at + 1] - '0'); };
  const int year = two(0) * 100 + two(2);
  const long long days = DaysFromCivil(year, two(5), e.size() == 10 ? two(8) : 1);
  const long long today = now >= 0 ? now / 86400 : (now - 86399) / 86400;
  return today >= days ? today - days : 0;
}

std::string AddressDbAgeWarning(const AddressDbInfo& info, long long now) {
  const long long days = AddressDbAgeDays(info, now);
  if (days <= kAddressDbMaxAgeDays) return {};
  return "the address database's newest edition is " + info.newestEdition + ", " + std::to_string(days / 365) +
         (days / 365 == 1 ? " year" : " years") +
         " old; postcodes and addresses change every month: build it again from Korea Post's current files";
}

std::string DefaultAddressDbPath() {
  std::string env = detail::addrdb::EnvironmentValue("JASOKIT_ADDRDB");
  if (!env.empty()) return env;
  return UserAddressDbPath();
}

}  // namespace jasokit

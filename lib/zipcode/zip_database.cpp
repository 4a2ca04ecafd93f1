#include "zipcode/zip_database.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <new>
#include <system_error>
#include <type_traits>
#include <vector>

#include "sys/large_buffer.h"

namespace jasokit {

namespace {

inline std::uint32_t ReadLe32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// clang-format off: the mix reads as its three rounds of three.
inline void Mix(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c) {
  a -= b;
  a -= c;
  a ^= c >> 13;
  b -= c;
  b -= a;
  b ^= a << 8;
  c -= a;
  c -= b;
  c ^= b >> 13;
  a -= b;
  a -= c;
  a ^= c >> 12;
  b -= c;
  b -= a;
  b ^= a << 16;
  c -= a;
  c -= b;
  c ^= b >> 5;
  a -= b;
  a -= c;
  a ^= c >> 3;
  b -= c;
  b -= a;
  b ^= a << 10;
  c -= a;
  c -= b;
  c ^= b >> 15;
}
// clang-format on

}  // namespace

std::uint32_t ZipKeyHash(std::string_view key) {
  const auto* k = reinterpret_cast<const unsigned char*>(key.data());
  std::size_t remaining = key.size();
  std::uint32_t a = 0x9e3779b9u;
  std::uint32_t b = 0x9e3779b9u;
  std::uint32_t c = 103;
  while (remaining >= 12) {
    a += ReadLe32(k);
    b += ReadLe32(k + 4);
    c += ReadLe32(k + 8);
    Mix(a, b, c);
    k += 12;
    remaining -= 12;
  }
  c += static_cast<std::uint32_t>(key.size());
  // The lowest byte of c already holds the length.
  switch (remaining) {
    case 11: c += static_cast<std::uint32_t>(k[10]) << 24; [[fallthrough]];
    case 10: c += static_cast<std::uint32_t>(k[9]) << 16; [[fallthrough]];
    case 9: c += static_cast<std::uint32_t>(k[8]) << 8; [[fallthrough]];
    case 8: b += static_cast<std::uint32_t>(k[7]) << 24; [[fallthrough]];
    case 7: b += static_cast<std::uint32_t>(k[6]) << 16; [[fallthrough]];
    case 6: b += static_cast<std::uint32_t>(k[5]) << 8; [[fallthrough]];
    case 5: b += k[4]; [[fallthrough]];
    case 4: a += static_cast<std::uint32_t>(k[3]) << 24; [[fallthrough]];
    case 3: a += static_cast<std::uint32_t>(k[2]) << 16; [[fallthrough]];
    case 2: a += static_cast<std::uint32_t>(k[1]) << 8; [[fallthrough]];
    case 1: a += k[0]; [[fallthrough]];
    default: break;
  }
  Mix(a, b, c);
  return c;
}

namespace detail {

std::string_view FieldText(const char* field, std::size_t width) {
  const void* nul = std::memchr(field, '\0', width);
  return std::string_view(field, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : width);
}

std::size_t LocalityKeyLength(const char* field) {
  // One pass: the text ends at a NUL, and a run of two spaces cuts it at once.
  std::size_t lastSpace = kZipLocalityBytes;
  for (std::size_t i = 0; i < kZipLocalityBytes; ++i) {
    const char c = field[i];
    if (c == '\0') return lastSpace < i ? lastSpace : i;
    if (c == ' ') {
      if (i + 1 < kZipLocalityBytes && field[i + 1] == ' ') return i;
      lastSpace = i;
    }
  }
  return lastSpace;
}

std::string_view CutLocality(std::string_view field) {
  // A CP949 double-byte character never holds 0x20, so raw byte search is safe.
  std::size_t p = field.find("  ");
  if (p == std::string_view::npos) p = field.rfind(' ');
  return p == std::string_view::npos ? field : field.substr(0, p);
}

ZipRecordView CutZipRecord(const char* record) {
  auto field = [record](ZipField f) {
    const ZipFieldLayout& layout = LayoutOf(f);
    return FieldText(record + layout.offset, layout.width);
  };
  ZipRecordView r;
  r.zipCode = field(ZipField::ZipCode);
  r.province = field(ZipField::Province);
  r.district = field(ZipField::District);
  r.locality = CutLocality(field(ZipField::Locality));
  r.detail = field(ZipField::Detail);
  return r;
}

}  // namespace detail

using namespace detail;

const char* ZipLoadMessage(ZipLoadStatus status) {
  switch (status) {
    case ZipLoadStatus::Ok: return "";
    case ZipLoadStatus::NoFileName:
    case ZipLoadStatus::StatFailed: return "stat function failed";
    case ZipLoadStatus::IsDirectory:
    case ZipLoadStatus::NotRegularFile:
    case ZipLoadStatus::OpenFailed: return "db file open failed";
    case ZipLoadStatus::OutOfMemory: return "Not enough memory";
  }
  return "";
}

// Records live in the image, cut on demand at fixed offsets. The index is
// one open-addressing table of names; each name's records form a chain
// through next.
struct ZipDatabase::Impl {
  static constexpr std::uint32_t kEnd = 0xFFFFFFFFu;
  static constexpr std::size_t kFirstSlots = 128;  // room for 100 names at the start

  struct Slot {
    std::uint32_t hash = 0;
    std::uint32_t first = kEnd;  // kEnd: empty
    std::uint32_t last = kEnd;
    std::uint32_t count = 0;
    std::uint32_t keyBytes = 0;
  };

  detail::LargeBuffer image;
  std::size_t imageBytes = 0;
  std::uint32_t imageRecords = 0;
  std::vector<Slot> slots;
  std::size_t names = 0;
  std::vector<std::uint32_t> next;

  // For the lookups by prefix and by zip code, built on first use: the
  // names' slots in byte order, and the records in zip code order.
  std::mutex sortedLock;
  bool namesSorted = false;
  bool codesSorted = false;
  std::vector<std::uint32_t> namesInOrder;
  std::vector<std::uint32_t> recordsByZipCode;

  void SortNames() {
    std::lock_guard<std::mutex> hold(sortedLock);
    if (namesSorted) return;
    namesInOrder.clear();
    for (std::uint32_t s = 0; s < slots.size(); ++s) {
      if (slots[s].first != kEnd) namesInOrder.push_back(s);
    }
    std::sort(namesInOrder.begin(), namesInOrder.end(),
              [this](std::uint32_t a, std::uint32_t b) { return Key(slots[a].first) < Key(slots[b].first); });
    namesSorted = true;
  }

  void SortCodes() {
    std::lock_guard<std::mutex> hold(sortedLock);
    if (codesSorted) return;
    // A zip code's bytes (seven at most), big-endian, order codes as the
    // bytes do.
    struct Entry {
      std::uint64_t head;
      std::uint32_t record;
    };
    std::vector<Entry> entries(RecordCount());
    for (std::uint32_t i = 0; i < entries.size(); ++i) {
      const std::string_view code = ZipCode(i);
      std::uint64_t head = 0;
      for (std::size_t k = 0; k < 8; ++k)
        head = head << 8 | (k < code.size() ? static_cast<unsigned char>(code[k]) : 0);
      entries[i] = Entry{head, i};
    }
    static_assert(kZipCodeBytes <= 8);
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.head != b.head ? a.head < b.head : a.record < b.record; });
    recordsByZipCode.resize(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) recordsByZipCode[i] = entries[i].record;
    codesSorted = true;
  }

  const char* RecordStart(std::uint32_t i) const {
    return image.data() + kZipHeaderBytes + std::size_t{i} * kZipRecordBytes;
  }

  std::string_view ZipCode(std::uint32_t i) const {
    return FieldText(RecordStart(i) + LayoutOf(ZipField::ZipCode).offset, kZipCodeBytes);
  }

  std::size_t RecordCount() const { return imageRecords; }

  ZipRecordView Record(std::uint32_t i) const { return CutZipRecord(RecordStart(i)); }

  const char* KeyStart(std::uint32_t i) const { return RecordStart(i) + LayoutOf(ZipField::Locality).offset; }

  std::string_view Key(std::uint32_t i) const { return std::string_view(KeyStart(i), LocalityKeyLength(KeyStart(i))); }

  // The slot holding key, or the empty slot where it would go.
  std::size_t Find(std::string_view key, std::uint32_t hash) const {
    const std::size_t mask = slots.size() - 1;
    for (std::size_t s = hash & mask;; s = (s + 1) & mask) {
      const Slot& slot = slots[s];
      if (slot.first == kEnd) return s;
      if (slot.hash == hash && slot.keyBytes == key.size() &&
          (key.empty() || std::memcmp(KeyStart(slot.first), key.data(), key.size()) == 0)) {
        return s;
      }
    }
  }

  // Adds record i of the image to the index under its locality.
  void Add(std::uint32_t record) {
    if ((names + 1) * 2 > slots.size()) Grow();
    const std::string_view key = Key(record);
    const std::uint32_t hash = ZipKeyHash(key);
    Slot& slot = slots[Find(key, hash)];
    if (slot.first == kEnd) {
      slot = Slot{hash, record, record, 1, static_cast<std::uint32_t>(key.size())};
      ++names;
    } else {
      next[slot.last] = record;
      slot.last = record;
      ++slot.count;
    }
  }

  void Grow() {
    std::vector<Slot> old;
    old.swap(slots);
    slots.assign(old.empty() ? kFirstSlots : old.size() * 2, Slot{});
    const std::size_t mask = slots.size() - 1;
    for (const Slot& s : old) {
      if (s.first == kEnd) continue;
      std::size_t at = s.hash & mask;
      while (slots[at].first != kEnd) at = (at + 1) & mask;
      slots[at] = s;
    }
  }

  void Unsort() {
    std::lock_guard<std::mutex> hold(sortedLock);
    namesSorted = codesSorted = false;
    namesInOrder.clear();
    recordsByZipCode.clear();
  }

  void Clear() {
    Unsort();
    imageBytes = 0;
    imageRecords = 0;
    slots.clear();
    names = 0;
    next.clear();
  }

  // Indexes the complete records among the first bytes of the image; on
  // failure the table is left empty.
  ZipLoadStatus Index(std::size_t bytes) {
    try {
      IndexImage(bytes);
    } catch (const std::bad_alloc&) {
      Clear();
      return ZipLoadStatus::OutOfMemory;
    }
    return ZipLoadStatus::Ok;
  }

  void IndexImage(std::size_t bytes) {
    imageBytes = bytes;
    std::size_t records = bytes > kZipHeaderBytes ? (bytes - kZipHeaderBytes) / kZipRecordBytes : 0;
    if (records > kZipRecordCount) records = kZipRecordCount;
    imageRecords = static_cast<std::uint32_t>(records);
    next.assign(records, std::uint32_t{kEnd});  // a copy: kEnd itself is no exported object
    std::size_t expected = kFirstSlots;
    while (expected < records / 4) expected *= 2;  // a name has several records on average
    slots.assign(expected, Slot{});
    for (std::uint32_t i = 0; i < imageRecords; ++i) Add(i);
  }
};

ZipRecordView ZipDatabase::Hits::iterator::operator*() const { return m_impl->Record(m_record); }

ZipDatabase::Hits::iterator& ZipDatabase::Hits::iterator::operator++() {
  m_record = m_impl->next[m_record];
  return *this;
}

ZipDatabase::ZipDatabase() : m_impl(std::make_unique<Impl>()) {}
ZipDatabase::~ZipDatabase() = default;
ZipDatabase::ZipDatabase(ZipDatabase&&) noexcept = default;
ZipDatabase& ZipDatabase::operator=(ZipDatabase&&) noexcept = default;

namespace {

// The syllables that end the name of an administrative unit, in CP949: 시,
// 구, 군, 읍, 면, 동, 가, 리.
constexpr std::string_view kUnitSyllables[] = {"\xBD\xC3", "\xB1\xB8", "\xB1\xBA", "\xC0\xBE",
                                               "\xB8\xE9", "\xB5\xBF", "\xB0\xA1", "\xB8\xAE"};

// The bytes a load reads: a full table at most.
std::size_t WantedBytes(std::uintmax_t size) {
  return size < kZipTableBytes ? static_cast<std::size_t>(size) : kZipTableBytes;
}

// Whether path names a regular file, and its size; only such a file makes
// sense, since the table is read whole (a pipe with no writer would block
// the open for ever).
ZipLoadStatus CheckTableFile(const std::string& path, std::uintmax_t& size) {
  namespace fs = std::filesystem;
  if (path.empty()) return ZipLoadStatus::NoFileName;
  // The path is UTF-8; a plain std::string would be read in the ANSI code
  // page on Windows.
  const fs::path file = fs::u8path(path);
  std::error_code ec;
  const fs::file_status status = fs::status(file, ec);
  if (ec || !fs::exists(status)) return ZipLoadStatus::StatFailed;
  if (fs::is_directory(status)) return ZipLoadStatus::IsDirectory;
  if (!fs::is_regular_file(status)) return ZipLoadStatus::NotRegularFile;
  size = fs::file_size(file, ec);
  return ec ? ZipLoadStatus::StatFailed : ZipLoadStatus::Ok;
}

// Reads up to wanted bytes into out; the file may have shrunk since its size
// was taken, so the count that arrived is returned.
std::size_t ReadUpTo(std::ifstream& in, char* out, std::size_t wanted) {
  std::size_t got = 0;
  while (got < wanted) {
    in.read(out + got, static_cast<std::streamsize>(wanted - got));
    const std::streamsize n = in.gcount();
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  return got;
}

}  // namespace

ZipLoadStatus ZipDatabase::Load(const std::string& path) {
  Impl& impl = *m_impl;
  impl.Clear();
  std::uintmax_t size = 0;
  const ZipLoadStatus checked = CheckTableFile(path, size);
  if (checked != ZipLoadStatus::Ok) return checked;
  std::ifstream in(std::filesystem::u8path(path), std::ios::in | std::ios::binary);
  if (!in) return ZipLoadStatus::OpenFailed;
  const std::size_t wanted = WantedBytes(size);
  if (!impl.image.Allocate(wanted)) return ZipLoadStatus::OutOfMemory;
  return impl.Index(ReadUpTo(in, impl.image.data(), wanted));
}

ZipLoadStatus ZipDatabase::Parse(std::string_view bytes) {
  Impl& impl = *m_impl;
  impl.Clear();
  const std::size_t wanted = WantedBytes(bytes.size());
  if (!impl.image.Allocate(wanted)) return ZipLoadStatus::OutOfMemory;
  if (wanted > 0) std::memcpy(impl.image.data(), bytes.data(), wanted);
  return impl.Index(wanted);
}

ZipDatabase::Hits ZipDatabase::FindAll(std::string_view text) const {
  const Impl& impl = *m_impl;
  if (impl.slots.empty()) return Hits();
  const Impl::Slot& slot = impl.slots[impl.Find(text, ZipKeyHash(text))];
  if (slot.first == Impl::kEnd) return Hits();
  return Hits(&impl, slot.first, slot.count);
}

std::vector<ZipRecordView> ZipDatabase::FindPrefix(std::string_view prefix) const {
  Impl& impl = *m_impl;
  impl.SortNames();
  const auto keyOf = [&impl](std::uint32_t s) { return impl.Key(impl.slots[s].first); };
  auto it = std::lower_bound(impl.namesInOrder.begin(), impl.namesInOrder.end(), prefix,
                             [&](std::uint32_t s, std::string_view p) { return keyOf(s) < p; });
  std::vector<ZipRecordView> out;
  for (; it != impl.namesInOrder.end(); ++it) {
    const std::string_view key = keyOf(*it);
    if (key.compare(0, prefix.size(), prefix) != 0) break;
    for (std::uint32_t r = impl.slots[*it].first; r != Impl::kEnd; r = impl.next[r]) out.push_back(impl.Record(r));
  }
  return out;
}

std::vector<ZipRecordView> ZipDatabase::FindZipCode(std::string_view zipCode) const {
  Impl& impl = *m_impl;
  impl.SortCodes();
  const auto range = std::equal_range(impl.recordsByZipCode.begin(), impl.recordsByZipCode.end(), zipCode,
                                      [&impl](const auto& a, const auto& b) {
                                        if constexpr (std::is_same_v<std::decay_t<decltype(a)>, std::string_view>) {
                                          return a < impl.ZipCode(b);
                                        } else {
                                          return impl.ZipCode(a) < b;
                                        }
                                      });
  std::vector<ZipRecordView> out;
  for (auto it = range.first; it != range.second; ++it) out.push_back(impl.Record(*it));
  return out;
}

std::vector<std::string> ZipDatabase::SuggestLocalities(std::string_view name, std::size_t max) const {
  Impl& impl = *m_impl;
  impl.SortNames();
  // The name without a unit syllable and a number at its end: 역삼1동 and
  // 역삼동 both stand on 역삼.
  const auto stemOf = [](std::string_view word) {
    for (const std::string_view unit : kUnitSyllables) {
      if (word.size() > unit.size() && word.substr(word.size() - unit.size()) == unit) {
        word.remove_suffix(unit.size());
        break;
      }
    }
    while (!word.empty() && word.back() >= '0' && word.back() <= '9') word.remove_suffix(1);
    return word;
  };
  const std::string_view stem = stemOf(name);
  std::vector<std::string> out;
  if (stem.empty()) return out;
  const auto keyOf = [&impl](std::uint32_t s) { return impl.Key(impl.slots[s].first); };
  auto it = std::lower_bound(impl.namesInOrder.begin(), impl.namesInOrder.end(), stem,
                             [&](std::uint32_t s, std::string_view p) { return keyOf(s) < p; });
  for (; it != impl.namesInOrder.end() && out.size() < max; ++it) {
    const std::string_view key = keyOf(*it);
    if (key.compare(0, stem.size(), stem) != 0) break;
    if (key == name) continue;
    const bool startsWithName = key.compare(0, name.size(), name) == 0;
    if (startsWithName || stemOf(key) == stem) out.emplace_back(key);
  }
  return out;
}

std::size_t ZipDatabase::size() const { return m_impl->RecordCount(); }

ZipRecordView ZipDatabase::record(std::size_t i) const { return m_impl->Record(static_cast<std::uint32_t>(i)); }

std::size_t detail::ZipDatabaseSeam::ImageBytes(const ZipDatabase& db) { return db.m_impl->imageBytes; }

namespace {

std::uint32_t Le(const char* p, std::size_t bytes) {
  std::uint32_t v = 0;
  for (std::size_t k = bytes; k-- > 0;) v = v << 8 | static_cast<unsigned char>(p[k]);
  return v;
}

constexpr std::size_t kDbaseDescriptorBytes = 32;
constexpr std::size_t kDbaseFieldLengthAt = 16;
constexpr std::size_t kFieldLengths[] = {kZipCodeBytes,     kZipProvinceBytes, kZipDistrictBytes,
                                         kZipLocalityBytes, kZipDetailBytes,   kZipSequenceBytes};

}  // namespace

bool ZipDatabase::hasTableLayout() const {
  const Impl& impl = *m_impl;
  if (impl.imageBytes < kZipHeaderBytes) return false;
  const char* h = impl.image.data();
  if (h[0] != 0x03 || Le(h + 8, 2) != kZipHeaderBytes || Le(h + 10, 2) != kZipRecordBytes ||
      h[kZipHeaderBytes - 1] != 0x0D) {
    return false;
  }
  for (std::size_t i = 0; i < std::size(kFieldLengths); ++i) {
    if (static_cast<unsigned char>(h[kDbaseDescriptorBytes * (i + 1) + kDbaseFieldLengthAt]) != kFieldLengths[i]) {
      return false;
    }
  }
  return true;
}

bool ZipDatabase::isSample() const {
  const Impl& impl = *m_impl;
  return impl.imageBytes >= kZipHeaderBytes &&
         std::string_view(impl.image.data() + kZipSampleMarkAt, kZipSampleMark.size()) == kZipSampleMark;
}

}  // namespace jasokit

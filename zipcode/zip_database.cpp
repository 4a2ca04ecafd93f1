#include "zipcode/zip_database.h"

#include "address/address_converter.h"
#include "address/address_tables.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <algorithm>
#include <deque>
#include <mutex>
#include <type_traits>
#include <filesystem>
#include <fstream>
#include <new>
#include <system_error>
#include <vector>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#elif defined(__APPLE__)
#include <fcntl.h>
#include <mach-o/dyld.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace jasokit {

namespace {

inline std::uint32_t ReadLe32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline void Mix(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c) {
  a -= b; a -= c; a ^= c >> 13;
  b -= c; b -= a; b ^= a << 8;
  c -= a; c -= b; c ^= b >> 13;
  a -= b; a -= c; a ^= c >> 12;
  b -= c; b -= a; b ^= a << 16;
  c -= a; c -= b; c ^= b >> 5;
  a -= b; a -= c; a ^= c >> 3;
  b -= c; b -= a; b ^= a << 10;
  c -= a; c -= b; c ^= b >> 15;
}

// The table image. A freshly allocated 4 MB buffer costs a thousand page
// faults, which take longer than the rest of a lookup together; asking for
// huge pages where the system has them makes it a handful.
class ImageBuffer {
 public:
  ImageBuffer() = default;
  ImageBuffer(const ImageBuffer&) = delete;
  ImageBuffer& operator=(const ImageBuffer&) = delete;
  ~ImageBuffer() { Release(); }

  // False when the memory cannot be had.
  bool Allocate(std::size_t bytes) {
    Release();
    if (bytes >= kHugePage / 2) {
      m_capacity = (bytes + kHugePage - 1) / kHugePage * kHugePage;
      m_data = static_cast<char*>(::operator new(m_capacity, std::align_val_t(kHugePage), std::nothrow));
      m_aligned = true;
#if defined(__linux__)
      if (m_data) ::madvise(m_data, m_capacity, MADV_HUGEPAGE);
#endif
    } else {
      m_capacity = bytes == 0 ? 1 : bytes;
      m_data = static_cast<char*>(::operator new(m_capacity, std::nothrow));
      m_aligned = false;
    }
    if (!m_data) m_capacity = 0;
    return m_data != nullptr;
  }

  char* data() const { return m_data; }

 private:
  static constexpr std::size_t kHugePage = std::size_t{2} << 20;

  void Release() {
    if (!m_data) return;
    if (m_aligned) {
      ::operator delete(m_data, std::align_val_t(kHugePage));
    } else {
      ::operator delete(m_data);
    }
    m_data = nullptr;
    m_capacity = 0;
  }

  char* m_data = nullptr;
  std::size_t m_capacity = 0;
  bool m_aligned = false;
};

std::string ErrnoText(int error) { return std::strerror(error); }

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

std::string ExecutableDirectory() {
  std::string path;
#if defined(_WIN32)
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) {
      path.assign(buffer, 0, n);
      break;
    }
    if (buffer.size() >= 32768) return std::string();  // a truncated path is no path
    buffer.resize(buffer.size() * 2);
  }
  const auto sep = path.find_last_of("\\/:");
#elif defined(__APPLE__)
  std::uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::string buffer(size, '\0');
  if (size == 0 || _NSGetExecutablePath(&buffer[0], &size) != 0) return std::string();
  char resolved[PATH_MAX];
  if (realpath(buffer.c_str(), resolved) == nullptr) return std::string();
  path = resolved;
  const auto sep = path.rfind('/');
#else
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", &buffer[0], buffer.size());
    if (n <= 0) return std::string();
    if (static_cast<std::size_t>(n) < buffer.size()) {
      path.assign(buffer, 0, static_cast<std::size_t>(n));
      break;
    }
    if (buffer.size() >= (1u << 16)) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  const auto sep = path.rfind('/');
#endif
  if (sep == std::string::npos) return std::string();
  return path.substr(0, sep + 1);
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

ZipRecord ZipRecordView::ToRecord() const {
  return ZipRecord{std::string(zipCode), std::string(province), std::string(district), std::string(locality),
                   std::string(detail)};
}

const char* ZipLoadMessage(ZipLoadStatus status) {
  switch (status) {
    case ZipLoadStatus::Ok: return "";
    case ZipLoadStatus::StatFailed: return "stat function failed";
    case ZipLoadStatus::OpenFailed: return "db file open failed";
    case ZipLoadStatus::OutOfMemory: return "Not enough memory";
  }
  return "";
}

// Records live in the image (cut on demand at fixed offsets) or, when added
// one by one, in their own list. The index is one open-addressing table of
// names; each name's records form a chain through next.
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

  ImageBuffer image;
  std::size_t imageBytes = 0;
  std::uint32_t imageRecords = 0;
  std::deque<ZipRecord> added;
  std::deque<std::string> addedKeys;
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
    // A zip code's first eight bytes, big-endian, order codes as their bytes
    // do; only longer codes (added by hand) need more.
    struct Entry {
      std::uint64_t head;
      std::uint32_t record;
    };
    std::vector<Entry> entries(RecordCount());
    for (std::uint32_t i = 0; i < entries.size(); ++i) {
      const std::string_view code = ZipCode(i);
      std::uint64_t head = 0;
      for (std::size_t k = 0; k < 8; ++k) head = head << 8 | (k < code.size() ? static_cast<unsigned char>(code[k]) : 0);
      entries[i] = Entry{head, i};
    }
    std::sort(entries.begin(), entries.end(), [this](const Entry& a, const Entry& b) {
      if (a.head != b.head) return a.head < b.head;
      const std::string_view ca = ZipCode(a.record), cb = ZipCode(b.record);
      if ((ca.size() > 8 || cb.size() > 8) && ca != cb) return ca < cb;
      return a.record < b.record;
    });
    recordsByZipCode.resize(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) recordsByZipCode[i] = entries[i].record;
    codesSorted = true;
  }

  std::string_view ZipCode(std::uint32_t i) const {
    if (i < imageRecords) {
      const char* record = image.data() + kZipHeaderBytes + std::size_t{i} * kZipRecordBytes;
      return FieldText(record + LayoutOf(ZipField::ZipCode).offset, kZipCodeBytes);
    }
    return added[i - imageRecords].zipCode;
  }

  std::size_t RecordCount() const { return imageRecords + added.size(); }

  ZipRecordView Record(std::uint32_t i) const {
    if (i < imageRecords) return CutZipRecord(image.data() + kZipHeaderBytes + std::size_t{i} * kZipRecordBytes);
    const ZipRecord& r = added[i - imageRecords];
    return ZipRecordView{r.zipCode, r.province, r.district, r.locality, r.detail};
  }

  const char* KeyStart(std::uint32_t i) const {
    if (i < imageRecords) {
      return image.data() + kZipHeaderBytes + std::size_t{i} * kZipRecordBytes + LayoutOf(ZipField::Locality).offset;
    }
    return addedKeys[i - imageRecords].data();
  }

  std::string_view Key(std::uint32_t i) const {
    if (i < imageRecords) return std::string_view(KeyStart(i), LocalityKeyLength(KeyStart(i)));
    return addedKeys[i - imageRecords];
  }

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

  void Insert(std::uint32_t record) {
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
    added.clear();
    addedKeys.clear();
    slots.clear();
    names = 0;
    next.clear();
  }

  // Indexes the complete records among the first bytes of the image.
  void IndexImage(std::size_t bytes) {
    imageBytes = bytes;
    std::size_t records = bytes > kZipHeaderBytes ? (bytes - kZipHeaderBytes) / kZipRecordBytes : 0;
    if (records > kZipRecordCount) records = kZipRecordCount;
    imageRecords = static_cast<std::uint32_t>(records);
    next.assign(records, kEnd);
    std::size_t expected = kFirstSlots;
    while (expected < records / 4) expected *= 2;  // a name has several records on average
    slots.assign(expected, Slot{});
    for (std::uint32_t i = 0; i < imageRecords; ++i) Insert(i);
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

ZipLoadStatus ZipDatabase::Load() {
  const std::string dir = ExecutableDirectory();
  if (dir.empty()) {
    m_impl->Clear();
    return ZipLoadStatus::StatFailed;
  }
  return Load(dir + kZipFileName);
}

ZipLoadStatus ZipDatabase::Load(const std::string& path, std::string* reason) {
  Impl& impl = *m_impl;
  impl.Clear();
  auto fail = [reason](ZipLoadStatus status, std::string why) {
    if (reason) *reason = std::move(why);
    return status;
  };
  if (path.empty()) return fail(ZipLoadStatus::StatFailed, "no file name");
  std::size_t got = 0;
#if defined(_WIN32)
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) {
    return fail(ZipLoadStatus::StatFailed, ec ? ec.message() : "No such file or directory");
  }
  if (std::filesystem::is_directory(status)) return fail(ZipLoadStatus::OpenFailed, "it is a directory");
  if (!std::filesystem::is_regular_file(status)) return fail(ZipLoadStatus::OpenFailed, "not a regular file");
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec) return fail(ZipLoadStatus::StatFailed, ec.message());
  std::ifstream in(path, std::ios::in | std::ios::binary);
  if (!in) return fail(ZipLoadStatus::OpenFailed, "cannot be opened for reading");
  const std::size_t wanted = size < kZipTableBytes ? static_cast<std::size_t>(size) : kZipTableBytes;
  if (!impl.image.Allocate(wanted)) return fail(ZipLoadStatus::OutOfMemory, "");
  while (got < wanted) {
    in.read(impl.image.data() + got, static_cast<std::streamsize>(wanted - got));
    const std::streamsize n = in.gcount();
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
#else
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return fail(ZipLoadStatus::StatFailed, ErrnoText(errno));
  if (S_ISDIR(st.st_mode)) return fail(ZipLoadStatus::OpenFailed, "it is a directory");
  // The table is read whole, so only a regular file makes sense; a pipe
  // with no writer would block open for ever.
  if (!S_ISREG(st.st_mode)) return fail(ZipLoadStatus::OpenFailed, "not a regular file");
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(ZipLoadStatus::OpenFailed, ErrnoText(errno));
  struct FdCloser {
    int fd;
    ~FdCloser() { ::close(fd); }
  } closer{fd};
  // What was opened may not be what was looked at.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return fail(ZipLoadStatus::OpenFailed, "not a regular file");
  const auto size = static_cast<std::uintmax_t>(st.st_size);
  const std::size_t wanted = size < kZipTableBytes ? static_cast<std::size_t>(size) : kZipTableBytes;
  if (!impl.image.Allocate(wanted)) return fail(ZipLoadStatus::OutOfMemory, "");
  // The file may have shrunk since its size was taken: keep only the bytes
  // that arrived.
  while (got < wanted) {
    const ssize_t n = ::read(fd, impl.image.data() + got, wanted - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
#endif
  try {
    impl.IndexImage(got);
  } catch (const std::bad_alloc&) {
    impl.Clear();
    return fail(ZipLoadStatus::OutOfMemory, "");
  }
  return ZipLoadStatus::Ok;
}

ZipLoadStatus ZipDatabase::Parse(std::string_view bytes) {
  Impl& impl = *m_impl;
  impl.Clear();
  const std::size_t wanted = bytes.size() < kZipTableBytes ? bytes.size() : kZipTableBytes;
  if (!impl.image.Allocate(wanted)) return ZipLoadStatus::OutOfMemory;
  if (wanted > 0) std::memcpy(impl.image.data(), bytes.data(), wanted);
  try {
    impl.IndexImage(wanted);
  } catch (const std::bad_alloc&) {
    impl.Clear();
    return ZipLoadStatus::OutOfMemory;
  }
  return ZipLoadStatus::Ok;
}

void ZipDatabase::Add(std::string_view key, const ZipRecord& record) {
  Impl& impl = *m_impl;
  impl.Unsort();
  impl.added.push_back(record);
  impl.addedKeys.emplace_back(key);
  impl.next.push_back(Impl::kEnd);
  impl.Insert(static_cast<std::uint32_t>(impl.RecordCount() - 1));
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
  const auto range = std::equal_range(
      impl.recordsByZipCode.begin(), impl.recordsByZipCode.end(), zipCode,
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
    for (const detail::UnitSyllable& unit : detail::kUnitSyllables) {
      if (word.size() > unit.syllable.size() && detail::EndsWith(word, unit.syllable)) {
        word.remove_suffix(unit.syllable.size());
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

std::size_t ZipDatabase::imageBytes() const { return m_impl->imageBytes; }

}  // namespace jasokit

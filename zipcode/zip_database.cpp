#include "zipcode/zip_database.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <new>
#include <system_error>

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#elif defined(__APPLE__)
#include <mach-o/dyld.h>

#include <climits>
#else
#include <unistd.h>
#endif

namespace jasokit {

namespace {

constexpr const char* kStatFailed = "stat function failed";
constexpr const char* kOpenFailed = "db file open failed";
constexpr const char* kNoMemory = "Not enough memory";

void WriteToStandardError(const char* message) {
  std::fputs(message, stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
}

ZipMessageHandler g_messageHandler = WriteToStandardError;

[[noreturn]] void Fail(const char* message) {
  g_messageHandler(message);
  std::exit(1);
}

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

// The bytes of a fixed-width field before its first NUL.
inline std::string_view FieldText(const char* field, std::size_t width) {
  const void* nul = std::memchr(field, '\0', width);
  return std::string_view(field, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field)
                                     : width);
}

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

void SetZipMessageHandler(ZipMessageHandler handler) {
  g_messageHandler = handler ? handler : WriteToStandardError;
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

std::string_view CutLocality(std::string_view field) {
  // A CP949 double-byte character never holds 0x20, so raw byte search is safe.
  std::size_t p = field.find("  ");
  if (p == std::string_view::npos) p = field.rfind(' ');
  return p == std::string_view::npos ? field : field.substr(0, p);
}

ZipRecord CutZipRecord(const char* record) {
  constexpr std::size_t kZipCodeAt = 1;
  constexpr std::size_t kProvinceAt = kZipCodeAt + kZipCodeBytes;
  constexpr std::size_t kDistrictAt = kProvinceAt + kZipProvinceBytes;
  constexpr std::size_t kLocalityAt = kDistrictAt + kZipDistrictBytes;
  constexpr std::size_t kDetailAt = kLocalityAt + kZipLocalityBytes;
  static_assert(kDetailAt + kZipDetailBytes + kZipSequenceBytes == kZipRecordBytes);

  ZipRecord r;
  r.zipCode = FieldText(record + kZipCodeAt, kZipCodeBytes);
  r.province = FieldText(record + kProvinceAt, kZipProvinceBytes);
  r.district = FieldText(record + kDistrictAt, kZipDistrictBytes);
  r.locality = CutLocality(FieldText(record + kLocalityAt, kZipLocalityBytes));
  r.detail = FieldText(record + kDetailAt, kZipDetailBytes);
  return r;
}

ZipDatabase::ZipDatabase() : m_index(kZipIndexBucketHint) {}

void ZipDatabase::Load() {
  const std::string dir = ExecutableDirectory();
  if (dir.empty()) Fail(kStatFailed);
  Load(dir + kZipFileName);
}

void ZipDatabase::Load(const std::string& path) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) Fail(kStatFailed);
  // A directory passes the status query but can never be read as a table.
  if (std::filesystem::is_directory(status)) Fail(kOpenFailed);

  // Something that is not a regular file (a pipe, a device) reports no size:
  // read at most one complete table from it.
  std::uintmax_t size = kZipTableBytes;
  if (std::filesystem::is_regular_file(status)) {
    size = std::filesystem::file_size(path, ec);
    if (ec) Fail(kStatFailed);
  }

  std::ifstream in(path, std::ios::in | std::ios::binary);
  if (!in) Fail(kOpenFailed);

  if (size > std::numeric_limits<std::size_t>::max()) Fail(kNoMemory);
  std::unique_ptr<char[]> image(new (std::nothrow) char[size == 0 ? 1 : static_cast<std::size_t>(size)]);
  if (!image) Fail(kNoMemory);

  // The file may have shrunk since its status was taken: keep only the bytes
  // that actually arrived.
  std::size_t got = 0;
  const auto capacity = static_cast<std::size_t>(size);
  while (got < capacity) {
    in.read(image.get() + got, static_cast<std::streamsize>(capacity - got));
    const std::streamsize n = in.gcount();
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  in.close();

  std::size_t records = 0;
  if (got > kZipHeaderBytes) records = (got - kZipHeaderBytes) / kZipRecordBytes;
  if (records > kZipRecordCount) records = kZipRecordCount;

  m_index = Index(kZipIndexBucketHint);
  m_image = std::move(image);
  m_imageBytes = got;

  try {
    const char* record = m_image.get() + kZipHeaderBytes;
    for (std::size_t i = 0; i < records; ++i, record += kZipRecordBytes) {
      ZipRecord r = CutZipRecord(record);
      std::string key = r.locality;
      m_index.emplace(std::move(key), std::move(r));
    }
  } catch (const std::bad_alloc&) {
    Fail(kNoMemory);
  }
}

void ZipDatabase::Add(const std::string& key, const ZipRecord& record) {
  m_index.emplace(key, record);
}

ZipDatabase::Hits ZipDatabase::FindAll(std::string_view text) const {
  // Most names fit the short-string buffer, so this costs no allocation.
  return m_index.equal_range(std::string(text));
}

}  // namespace jasokit

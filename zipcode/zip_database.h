#pragma once
// The fixed zip code table: loaded whole at start-up from a dBASE III file
// beside the executable and indexed by place name for exact-match lookup.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace jasokit {

inline constexpr const char* kZipFileName = "zipcode030101t6.dbf";
inline constexpr std::size_t kZipRecordCount = 44338;
inline constexpr std::size_t kZipHeaderBytes = 225;
inline constexpr std::size_t kZipRecordBytes = 90;
inline constexpr std::size_t kZipIndexBucketHint = 100;
// Widths of the five loaded fields, in record order after the deletion flag.
inline constexpr std::size_t kZipCodeBytes = 7;
inline constexpr std::size_t kZipProvinceBytes = 4;
inline constexpr std::size_t kZipDistrictBytes = 13;
inline constexpr std::size_t kZipLocalityBytes = 43;
inline constexpr std::size_t kZipDetailBytes = 17;
inline constexpr std::size_t kZipSequenceBytes = 5;  // sixth field, never loaded
// Bytes of a complete table; anything after them is ignored.
inline constexpr std::size_t kZipTableBytes = kZipHeaderBytes + kZipRecordCount * kZipRecordBytes;

// Five CP949 texts of one row; locality is the search key.
struct ZipRecord {
  std::string zipCode;
  std::string province;
  std::string district;
  std::string locality;
  std::string detail;
};

// Bob Jenkins' lookup2 over the key's bytes with initial value 103.
std::uint32_t ZipKeyHash(std::string_view key);

// Deliberately not noexcept: libstdc++ then caches each entry's hash, which
// keeps rehashing and walking a run of equal keys cheap.
struct ZipKeyHasher {
  using is_transparent = void;
  std::size_t operator()(std::string_view key) const { return ZipKeyHash(key); }
};

// Shows a fatal loader message ("stat function failed", "db file open failed",
// "Not enough memory"); the loader then ends the process with status 1. The
// default handler writes the message and a newline to standard error; null
// restores it.
using ZipMessageHandler = void (*)(const char* message);
void SetZipMessageHandler(ZipMessageHandler handler);

// Folder of the running executable, with a trailing separator; empty when the
// platform cannot tell (the loader then fails as for a missing file rather
// than fall back to the current directory).
std::string ExecutableDirectory();

// One record cut out of its 90 bytes (deletion flag first). Exposed for tests.
ZipRecord CutZipRecord(const char* record);
// The search key of a raw fourth field: cut at the first two spaces, else at
// the last space, else whole.
std::string_view CutLocality(std::string_view field);

// Movable, not copyable.
class ZipDatabase {
 public:
  using Index = std::unordered_multimap<std::string, ZipRecord, ZipKeyHasher>;
  using Hits = std::pair<Index::const_iterator, Index::const_iterator>;

  ZipDatabase();

  // Loads kZipFileName from the executable's folder. Does not return on
  // failure: the message handler is called and the process exits with 1.
  // A file shorter than a full table yields the complete records it holds;
  // bytes after the 44,338th record are ignored. Loading again replaces the
  // table.
  void Load();
  // Loads the file at path; same rules and failures.
  void Load(const std::string& path);

  void Add(const std::string& key, const ZipRecord& record);
  // Every record whose key equals text byte for byte; first == second if none.
  Hits FindAll(std::string_view text) const;

  std::size_t size() const { return m_index.size(); }
  // Bytes of the file image, as many as were read.
  std::size_t imageBytes() const { return m_imageBytes; }

 private:
  // The index owns copies of everything; nothing points into the image.
  Index m_index;
  // Declared after the index so that it is released first.
  std::unique_ptr<char[]> m_image;
  std::size_t m_imageBytes = 0;
};

// The result-list lines for a query ("%s %s %s %s %s" of zipCode, province,
// district, locality, detail), in ascending byte order, duplicates kept.
std::vector<std::string> FormatSearchLines(const ZipDatabase& db, std::string_view query);

// What a search with no hits tells the user.
inline constexpr const char* kNotFoundMessageUtf8 = "찾지 못했습니다.";

// The address of a chosen list line: the first 8 bytes dropped, then four
// passes of replacing two spaces by one.
std::string ListLineToAddress(std::string_view line);

}  // namespace jasokit

#pragma once
// The fixed zip code table: loaded whole at start-up from a dBASE III file
// beside the executable and indexed by place name for exact-match lookup.
#include <cstddef>
#include <cstdint>
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

struct ZipKeyHasher {
  using is_transparent = void;
  std::size_t operator()(std::string_view key) const { return ZipKeyHash(key); }
};

// Shows a fatal loader message ("stat function failed", "db file open failed",
// "Not enough memory"); the loader then ends the process with status 1. The
// default handler writes the message and a newline to standard error.
using ZipMessageHandler = void (*)(const char* message);
void SetZipMessageHandler(ZipMessageHandler handler);

// Folder of the running executable, with a trailing separator.
std::string ExecutableDirectory();

class ZipDatabase {
 public:
  using Index = std::unordered_multimap<std::string, ZipRecord, ZipKeyHasher>;
  using Hits = std::pair<Index::const_iterator, Index::const_iterator>;

  ZipDatabase();

  // Loads kZipFileName from the executable's folder.
  void Load();
  // Loads the file at path; same rules and failures.
  void Load(const std::string& path);

  void Add(const std::string& key, const ZipRecord& record);
  // Every record whose key equals text byte for byte; first == second if none.
  Hits FindAll(std::string_view text) const;

  std::size_t size() const { return m_index.size(); }

 private:
  std::vector<char> m_image;  // declared first so it is released after the index... see Load
  Index m_index;
};

// The result-list lines for a query ("%s %s %s %s %s" of zipCode, province,
// district, locality, detail), in ascending byte order, duplicates kept.
std::vector<std::string> FormatSearchLines(const ZipDatabase& db, std::string_view query);

// The address of a chosen list line: the first 8 bytes dropped, then four
// passes of replacing two spaces by one.
std::string ListLineToAddress(std::string_view line);

}  // namespace jasokit

#pragma once
// The zip code table: a dBASE III file of 44,338 fixed records, CP949 text,
// loaded whole and indexed by place name for exact-match lookup; the same
// lookups in UTF-8; and the writer that makes such a file.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jasokit/export.h"

namespace jasokit {

namespace detail {
struct ZipDatabaseSeam;
}

inline constexpr const char* kZipFileName = "zipcode030101t6.dbf";
inline constexpr std::size_t kZipRecordCount = 44338;  // records read, whatever the header says
inline constexpr std::size_t kZipHeaderBytes = 225;
inline constexpr std::size_t kZipRecordBytes = 90;
// Widths of the five text fields, in record order after the deletion flag.
inline constexpr std::size_t kZipCodeBytes = 7;
inline constexpr std::size_t kZipProvinceBytes = 4;
inline constexpr std::size_t kZipDistrictBytes = 13;
inline constexpr std::size_t kZipLocalityBytes = 43;
inline constexpr std::size_t kZipDetailBytes = 17;
inline constexpr std::size_t kZipSequenceBytes = 5;  // sixth field, never read
// A complete table; bytes after it are ignored.
inline constexpr std::size_t kZipTableBytes = kZipHeaderBytes + kZipRecordCount * kZipRecordBytes;
// The longest name the programs look up (zip NAME, GET /v1/zip): far more than
// any place name takes (kZipLocalityBytes); a longer name is a miss, not held.
inline constexpr std::size_t kMaxZipNameBytes = 1024;

// What a search with no hits tells the user (UTF-8).
inline constexpr const char* kNotFoundMessageUtf8 = "찾지 못했습니다.";

// One row as five CP949 texts. province, district and detail keep the space
// fill of their fields; locality, the search key, is cut at its first two
// spaces (else at its last space).
struct ZipRecord {
  std::string zipCode;
  std::string province;
  std::string district;
  std::string locality;
  std::string detail;
};

// The same, viewing the table's memory; valid while the table lives.
struct ZipRecordView {
  std::string_view zipCode;
  std::string_view province;
  std::string_view district;
  std::string_view locality;
  std::string_view detail;

  ZipRecord ToRecord() const {
    return ZipRecord{std::string(zipCode), std::string(province), std::string(district), std::string(locality),
                     std::string(detail)};
  }
};

// What became of a load; each failure has its own value.
enum class ZipLoadStatus {
  Ok,
  NoFileName,      // the path is empty (a program that cannot tell its own folder)
  StatFailed,      // the file's status cannot be had: no such file, no access to its folder
  IsDirectory,     // the path names a directory
  NotRegularFile,  // a FIFO, device or socket: refused without opening it
  OpenFailed,      // the file cannot be opened for reading
  OutOfMemory,     // the image or the index cannot be allocated
};

// What the user is told: "stat function failed" (NoFileName, StatFailed),
// "db file open failed" (IsDirectory, NotRegularFile, OpenFailed), "Not
// enough memory" (OutOfMemory); "" for Ok.
JASOKIT_API const char* ZipLoadMessage(ZipLoadStatus status);

class JASOKIT_API ZipDatabase {
 public:
  struct Impl;

  // The records of one name, walked first to last; in no meaningful order.
  class JASOKIT_API Hits {
    static constexpr std::uint32_t kEnd = 0xFFFFFFFFu;

   public:
    class iterator {
     public:
      using iterator_category = std::forward_iterator_tag;
      using value_type = ZipRecordView;
      using difference_type = std::ptrdiff_t;
      using pointer = void;
      using reference = ZipRecordView;

      iterator() = default;
      ZipRecordView operator*() const;
      iterator& operator++();
      iterator operator++(int) {
        iterator old = *this;
        ++*this;
        return old;
      }
      bool operator==(const iterator& o) const { return m_record == o.m_record; }
      bool operator!=(const iterator& o) const { return m_record != o.m_record; }

     private:
      friend class Hits;
      iterator(const Impl* impl, std::uint32_t record) : m_impl(impl), m_record(record) {}
      const Impl* m_impl = nullptr;
      std::uint32_t m_record = kEnd;
    };

    iterator begin() const { return iterator(m_impl, m_first); }
    iterator end() const { return iterator(m_impl, kEnd); }
    bool empty() const { return m_count == 0; }
    std::size_t size() const { return m_count; }

   private:
    friend class ZipDatabase;
    Hits() = default;
    Hits(const Impl* impl, std::uint32_t first, std::uint32_t count) : m_impl(impl), m_first(first), m_count(count) {}
    const Impl* m_impl = nullptr;
    std::uint32_t m_first = kEnd;
    std::uint32_t m_count = 0;
  };

  ZipDatabase();
  ~ZipDatabase();
  ZipDatabase(ZipDatabase&&) noexcept;
  ZipDatabase& operator=(ZipDatabase&&) noexcept;

  // Loads the table at path (normally kZipFileName in the program's
  // folder), replacing what the table held. Only a regular file is read. A
  // file shorter than a full table gives the complete records it holds. On
  // failure the table is left empty.
  ZipLoadStatus Load(const std::string& path);
  // The same from a table's bytes in memory (copied).
  ZipLoadStatus Parse(std::string_view bytes);

  // Every record whose key equals text byte for byte.
  Hits FindAll(std::string_view text) const;
  // Every record whose key starts with prefix, by key in byte order. The
  // first lookup by prefix, by zip code or for suggestions sorts the table
  // once (a few milliseconds for a full table); later ones take microseconds.
  std::vector<ZipRecordView> FindPrefix(std::string_view prefix) const;
  // Every record with that zip code, in table order.
  std::vector<ZipRecordView> FindZipCode(std::string_view zipCode) const;
  // Up to max localities, in byte order, other than name itself, that start
  // with name or differ from it only by a number or a unit syllable at the
  // end (역삼동: 역삼1동, 역삼2동), for telling a user who found nothing.
  std::vector<std::string> SuggestLocalities(std::string_view name, std::size_t max = 5) const;

  std::size_t size() const;
  // Record i in table order.
  ZipRecordView record(std::size_t i) const;

  // Whether the file is a table of the fixed layout: at least its header,
  // and that a dBASE III header of 225 bytes ending in 0x0D for records of
  // 90 bytes with fields of 7, 4, 13, 43, 17 and 5 bytes. (The records are
  // read as loading always reads them: those present whole, up to 44,338,
  // whatever count the header gives.) Loading never asks, so that any file
  // under the table's name loads as it always has; the programs ask it of a
  // table the user names.
  bool hasTableLayout() const;
  // Whether the header carries the mark of a demonstration sample, whose
  // zip codes are made up (MarkZipTableSample).
  bool isSample() const;

 private:
  friend struct detail::ZipDatabaseSeam;
  std::unique_ptr<Impl> m_impl;
};

// The result-list line of a record: "%s %s %s %s %s" of zipCode, province,
// district, locality and detail.
JASOKIT_API std::string FormatSearchLine(const ZipRecordView& record);
// The lines for a query in ascending byte order (so by zip code first),
// duplicates kept.
JASOKIT_API std::vector<std::string> FormatSearchLines(const ZipDatabase& db, std::string_view query);
// The same for records found otherwise.
JASOKIT_API std::vector<std::string> FormatSearchLines(const std::vector<ZipRecordView>& records);

// The address of a chosen list line: the first 8 bytes (zip code and space)
// dropped, then four passes of replacing two spaces by one.
JASOKIT_API std::string ListLineToAddress(std::string_view line);

// The lookups for callers that hold UTF-8. The query is UTF-8: one that is
// not valid UTF-8 or has a character with no CP949 form finds nothing (the
// table cannot hold it). Records and lines come back in UTF-8, in the order
// of their CP949 forms; a byte of the table that is not CP949 becomes U+FFFD.

// A record's texts in UTF-8.
JASOKIT_API ZipRecord ToUtf8(const ZipRecordView& record);
// FindAll, in the result list's order (by line, so by zip code first).
JASOKIT_API std::vector<ZipRecord> FindAllUtf8(const ZipDatabase& db, std::string_view utf8);
// FindPrefix, by key in CP949 byte order.
JASOKIT_API std::vector<ZipRecord> FindPrefixUtf8(const ZipDatabase& db, std::string_view utf8);
// FindZipCode, in table order.
JASOKIT_API std::vector<ZipRecord> FindZipCodeUtf8(const ZipDatabase& db, std::string_view utf8);
// SuggestLocalities.
JASOKIT_API std::vector<std::string> SuggestLocalitiesUtf8(const ZipDatabase& db, std::string_view utf8,
                                                           std::size_t max = 5);
// FormatSearchLines, in the order of the CP949 lines.
JASOKIT_API std::vector<std::string> FormatSearchLinesUtf8(const ZipDatabase& db, std::string_view utf8);
// ListLineToAddress on a UTF-8 line, counting the zip code in CP949 bytes.
JASOKIT_API std::string ListLineToAddressUtf8(std::string_view utf8Line);

// The five text fields, for the writer's checks and messages.
enum class ZipField { ZipCode, Province, District, Locality, Detail };
inline constexpr std::size_t kZipFieldCount = 5;

// The field's name in CSV headers and messages: "zipcode", "province",
// "district", "locality" or "detail".
JASOKIT_API const char* ZipFieldName(ZipField field);

// Why a CP949 value cannot be stored in field so that the loader gives it
// back unchanged (too long, a control character, a locality the loader would
// cut), or "" when it can.
JASOKIT_API std::string CheckZipValue(ZipField field, std::string_view cp949);

// Writes a table in the layout the loader reads: the header, then one
// 90-byte record per row (values already checked with CheckZipValue), then
// the dBASE end-of-file byte.
class JASOKIT_API ZipTableWriter {
 public:
  // date: the header's date of last update.
  explicit ZipTableWriter(const std::tm& date);

  // The header of a table of rows records; a streaming writer writes it
  // again once the count is known.
  std::string Header(std::uint32_t rows) const;
  // Appends one record; sequence is the row's number from 1.
  static void AppendRecord(const ZipRecord& row, std::size_t sequence, std::string& out);
  static constexpr char kEndOfFile = 0x1A;

  // A whole table in memory.
  std::string Build(const std::vector<ZipRecord>& rows) const;

 private:
  std::tm m_date;
};

// Marks a table's header as that of a demonstration sample: "SAMPLE" in
// bytes 16 to 21, which dBASE III reserves and no reader of records uses.
JASOKIT_API void MarkZipTableSample(std::string& header);

}  // namespace jasokit

#pragma once
// The zip table's layout and its record cutting, shared by the loader and
// the writer, and named for the tests.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "jasokit/zip.h"

namespace jasokit {

// Bob Jenkins' lookup2 over the key's bytes with initial value 103: where a
// name goes in the index.
std::uint32_t ZipKeyHash(std::string_view key);

}  // namespace jasokit

namespace jasokit::detail {

// What the loader holds of a table, for the checks of its bounds.
struct ZipDatabaseSeam {
  // Bytes of the table image held in memory.
  static std::size_t ImageBytes(const ZipDatabase& db);
};

// One text field of a record: where it starts (after the deletion flag at 0)
// and its width; plus the dBASE name the writer gives it.
struct ZipFieldLayout {
  const char* column;     // as in CSV headers and messages
  const char* dbaseName;  // at most 10 characters
  std::size_t offset;
  std::size_t width;
};

inline constexpr ZipFieldLayout kZipFields[kZipFieldCount] = {
    {"zipcode", "ZIPCODE", 1, kZipCodeBytes},
    {"province", "PROVINCE", 1 + kZipCodeBytes, kZipProvinceBytes},
    {"district", "DISTRICT", 1 + kZipCodeBytes + kZipProvinceBytes, kZipDistrictBytes},
    {"locality", "LOCALITY", 1 + kZipCodeBytes + kZipProvinceBytes + kZipDistrictBytes, kZipLocalityBytes},
    {"detail", "DETAIL", 1 + kZipCodeBytes + kZipProvinceBytes + kZipDistrictBytes + kZipLocalityBytes,
     kZipDetailBytes},
};
inline constexpr const char* kZipSequenceName = "SEQ";
inline constexpr std::size_t kZipSequenceOffset = kZipFields[4].offset + kZipDetailBytes;
static_assert(kZipSequenceOffset + kZipSequenceBytes == kZipRecordBytes);

// Where a sample table's header carries its mark (MarkZipTableSample).
inline constexpr std::size_t kZipSampleMarkAt = 16;
inline constexpr std::string_view kZipSampleMark = "SAMPLE";

inline const ZipFieldLayout& LayoutOf(ZipField field) { return kZipFields[static_cast<std::size_t>(field)]; }

// The bytes of a fixed-width field before its first NUL.
std::string_view FieldText(const char* field, std::size_t width);

// The search key of a raw fourth field: cut at the first two spaces, else at
// the last space, else whole.
std::string_view CutLocality(std::string_view field);

// The length of the key in a raw fourth field of kZipLocalityBytes bytes:
// CutLocality of its text, in one pass.
std::size_t LocalityKeyLength(const char* field);

// One record cut out of its 90 bytes (deletion flag first).
ZipRecordView CutZipRecord(const char* record);

}  // namespace jasokit::detail

// ZipDatabase::Parse on arbitrary table images of any size from 0 bytes to a
// few megabytes.
//
// Input: the first byte chooses the form. Even: the rest is the file as is.
// Odd: the next three bytes are a file size (little-endian; up to 64 KB, or
// up to 6 MB when bit 1 of the first byte is set) and the rest is a pattern
// repeated to fill it, so that small inputs also reach full and over-full
// tables without every input costing a full load.
//
// Any image must parse: every complete record found under its key, whole,
// and nothing past the fixed count.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz-check.h"
#include "zipcode/zip_database.h"

using namespace jasokit::detail;  // the steps under test

namespace {

using namespace jasokit;

constexpr std::size_t kMaxSmallBytes = 64u << 10;
constexpr std::size_t kMaxLargeBytes = 6u << 20;

// The file an input describes: its size, and its byte at any offset.
struct TableFile {
  const std::uint8_t* data;
  std::size_t size;

  bool tiled() const { return size == 0 || (data[0] & 1) != 0; }
  std::size_t Bytes() const {
    if (!tiled()) return size - 1;
    if (size < 4) return 0;
    const std::size_t limit = (data[0] & 2) ? kMaxLargeBytes : kMaxSmallBytes;
    return static_cast<std::size_t>(data[1] | data[2] << 8 | data[3] << 16) % (limit + 1);
  }
  char At(std::size_t offset) const {
    if (!tiled()) return static_cast<char>(data[1 + offset]);
    return size > 4 ? static_cast<char>(data[4 + offset % (size - 4)]) : '\0';
  }
  std::string Range(std::size_t offset, std::size_t n) const {
    std::string out;
    for (std::size_t i = 0; i < n; ++i) out += At(offset + i);
    return out;
  }
};

// A fixed-width field's text: its bytes before the first NUL.
std::string FieldText(const TableFile& f, std::size_t offset, std::size_t width) {
  std::string text = f.Range(offset, width);
  return text.substr(0, text.find('\0'));
}

// The record that record slot i must give, worked out from the raw bytes.
ZipRecord ExpectedRecord(const TableFile& f, std::size_t i) {
  const std::size_t at = kZipHeaderBytes + i * kZipRecordBytes;
  ZipRecord r;
  r.zipCode = FieldText(f, at + 1, 7);
  r.province = FieldText(f, at + 8, 4);
  r.district = FieldText(f, at + 12, 13);
  std::string locality = FieldText(f, at + 25, 43);
  std::size_t cut = locality.find("  ");
  if (cut == std::string::npos) cut = locality.rfind(' ');
  r.locality = locality.substr(0, cut);
  r.detail = FieldText(f, at + 68, 17);
  return r;
}

bool SameRecord(const ZipRecord& a, const ZipRecord& b) {
  return a.zipCode == b.zipCode && a.province == b.province && a.district == b.district && a.locality == b.locality &&
         a.detail == b.detail;
}

// The image the input describes.
std::string Image(const std::uint8_t* data, std::size_t size) {
  if (size > 0 && (data[0] & 1) == 0) return std::string(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string image;
  if (size < 4) return image;
  const TableFile file{data, size};
  const std::size_t bytes = file.Bytes();
  const std::string_view pattern(reinterpret_cast<const char*>(data + 4), size - 4);
  if (pattern.empty()) return std::string(bytes, '\0');
  image.reserve(bytes + pattern.size());
  while (image.size() < bytes) image.append(pattern);
  image.resize(bytes);
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string image = Image(data, size);
  const std::size_t fileBytes = image.size();
  ZipDatabase db;
  FUZZ_CHECK(db.Parse(image) == ZipLoadStatus::Ok);

  // Every complete record is loaded, and nothing past the fixed count.
  const TableFile file{data, size};
  FUZZ_CHECK(file.Bytes() == fileBytes);
  std::size_t records = fileBytes > kZipHeaderBytes ? (fileBytes - kZipHeaderBytes) / kZipRecordBytes : 0;
  if (records > kZipRecordCount) records = kZipRecordCount;
  FUZZ_CHECK(db.size() == records);
  FUZZ_CHECK(ZipDatabaseSeam::ImageBytes(db) == std::min(fileBytes, kZipTableBytes));
  // The checks of a table the user names read the header alone, and only
  // within the image.
  const bool layout = db.hasTableLayout();
  FUZZ_CHECK(!layout || fileBytes >= kZipHeaderBytes);
  FUZZ_CHECK(!db.isSample() || fileBytes >= kZipHeaderBytes);

  // The first, the last and a few records between are found under their key,
  // whole.
  for (std::size_t k = 0; k < 10 && records > 0; ++k) {
    const std::size_t i = k * (records - 1) / 9;
    const ZipRecord want = ExpectedRecord(file, i);
    const ZipDatabase::Hits hits = db.FindAll(want.locality);
    bool found = false;
    for (const ZipRecordView& r : hits) {
      FUZZ_CHECK(r.locality == want.locality);
      found = found || SameRecord(r.ToRecord(), want);
    }
    FUZZ_CHECK(found);
  }
  return 0;
}

// ZipDatabase::Load on arbitrary file contents of any size from 0 bytes to a
// few megabytes, written to a temporary file.
//
// Input: the first byte chooses the form. Even: the rest is the file as is.
// Odd: the next three bytes are a file size (little-endian; up to 64 KB, or
// up to 6 MB when bit 1 of the first byte is set) and the rest is a pattern
// repeated to fill it, so that small inputs also reach full and over-full
// tables without every input costing a full load.
//
// A regular file that exists and can be read must always load: the loader's
// fatal paths (it would show a message and exit) are for missing files,
// directories and allocation failure. The message handler therefore aborts,
// which libFuzzer reports as a crash with the input saved.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz-check.h"
#include "zipcode/zip_database.h"

namespace {

using namespace jasokit;

constexpr std::size_t kMaxSmallBytes = 64u << 10;
constexpr std::size_t kMaxLargeBytes = 6u << 20;

std::string g_path;

void RemoveFile() {
  if (!g_path.empty()) ::unlink(g_path.c_str());
}

void LoaderGaveUp(const char* message) {
  std::fprintf(stderr, "the loader gave up on a regular file: %s\n", message);
  std::abort();
}

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

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
  return a.zipCode == b.zipCode && a.province == b.province && a.district == b.district &&
         a.locality == b.locality && a.detail == b.detail;
}

// Writes the file the input describes; returns its size.
std::size_t WriteTable(const std::uint8_t* data, std::size_t size) {
  const int fd = ::open(g_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  FUZZ_CHECK(fd >= 0);
  std::size_t fileBytes = 0;
  if (size > 0 && (data[0] & 1) == 0) {
    fileBytes = size - 1;
    FUZZ_CHECK(WriteAll(fd, reinterpret_cast<const char*>(data + 1), fileBytes));
  } else if (size >= 4) {
    fileBytes = TableFile{data, size}.Bytes();
    const std::string_view pattern(reinterpret_cast<const char*>(data + 4), size - 4);
    std::string block;
    if (pattern.empty()) {
      block.assign(1 << 16, '\0');
    } else {
      while (block.size() < (1u << 16)) block.append(pattern);
    }
    for (std::size_t done = 0; done < fileBytes;) {
      const std::size_t n = std::min(block.size(), fileBytes - done);
      FUZZ_CHECK(WriteAll(fd, block.data(), n));  // block holds whole patterns
      done += n;
    }
  }
  FUZZ_CHECK(::close(fd) == 0);
  return fileBytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/jasokit-zipload-XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) {
    std::perror("mkstemp");
    std::abort();
  }
  ::close(fd);
  g_path = pattern;
  std::atexit(RemoveFile);
  SetZipMessageHandler(LoaderGaveUp);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::size_t fileBytes = WriteTable(data, size);
  ZipDatabase db;
  db.Load(g_path);

  // Every complete record is loaded, and nothing past the fixed count.
  const TableFile file{data, size};
  FUZZ_CHECK(file.Bytes() == fileBytes);
  std::size_t records = fileBytes > kZipHeaderBytes ? (fileBytes - kZipHeaderBytes) / kZipRecordBytes : 0;
  if (records > kZipRecordCount) records = kZipRecordCount;
  FUZZ_CHECK(db.size() == records);
  FUZZ_CHECK(db.imageBytes() == fileBytes);

  // The first, the last and a few records between are found under their key,
  // whole.
  for (std::size_t k = 0; k < 10 && records > 0; ++k) {
    const std::size_t i = k * (records - 1) / 9;
    const ZipRecord want = ExpectedRecord(file, i);
    const ZipDatabase::Hits hits = db.FindAll(want.locality);
    bool found = false;
    for (auto it = hits.first; it != hits.second; ++it) {
      FUZZ_CHECK(it->first == want.locality && it->second.locality == want.locality);
      found = found || SameRecord(it->second, want);
    }
    FUZZ_CHECK(found);
  }
  return 0;
}

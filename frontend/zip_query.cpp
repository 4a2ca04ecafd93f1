#include "frontend/zip_query.h"

#include <algorithm>

#include "platform/platform.h"

namespace jasokit::cli {

std::string NormalizeZipCode(std::string_view code) {
  constexpr std::size_t kDigits = 6;
  constexpr std::size_t kHyphenAt = 3;
  if (code.size() == kDigits && std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::string(code.substr(0, kHyphenAt)) + "-" + std::string(code.substr(kHyphenAt));
  }
  return std::string(code);
}

std::string NamedTableProblem(const std::string& path, ZipLoadStatus status, const ZipDatabase& db) {
  switch (status) {
    case ZipLoadStatus::Ok: break;
    case ZipLoadStatus::NoFileName: return "no file named";
    case ZipLoadStatus::StatFailed: return IsMissing(path) ? "no such file" : "cannot be reached";
    case ZipLoadStatus::IsDirectory: return "a folder, not a zip code table";
    case ZipLoadStatus::NotRegularFile: return "not a regular file";
    case ZipLoadStatus::OpenFailed: return "cannot be opened for reading";
    case ZipLoadStatus::OutOfMemory: return "not enough memory to load it";
  }
  if (db.hasTableLayout()) return std::string();
  return "not a zip code table (a dBASE III table with a 225-byte header and 90-byte records of 7, 4, 13, 43, 17 "
         "and 5 bytes)";
}

ZipLines FindZipLines(const ZipDatabase& db, LookupMode mode, std::string_view query) {
  std::vector<ZipRecordView> records;
  switch (mode) {
    case LookupMode::kExact:
      for (const ZipRecordView& r : db.FindAll(query)) records.push_back(r);
      break;
    case LookupMode::kPrefix: records = db.FindPrefix(query); break;
    case LookupMode::kCode: records = db.FindZipCode(NormalizeZipCode(query)); break;
  }
  // The order of the result list: by line, so by zip code first.
  ZipLines lines;
  lines.reserve(records.size());
  for (const ZipRecordView& r : records) lines.emplace_back(FormatSearchLine(r), r);
  std::sort(lines.begin(), lines.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  return lines;
}

std::string ListLineConversion(const std::string& line, const Options& options) {
  Result r = ConvertInput(ListLineToAddress(line), options);
  if (r.status == ConversionStatus::Address || r.status == ConversionStatus::PlainText) {
    return std::move(r.output);
  }
  return std::string();
}

}  // namespace jasokit::cli

#include <algorithm>

#include "zipcode/zip_database.h"

namespace jasokit {

std::string FormatSearchLine(const ZipRecordView& r) {
  std::string line;
  line.reserve(r.zipCode.size() + r.province.size() + r.district.size() + r.locality.size() + r.detail.size() + 4);
  line += r.zipCode;
  line += ' ';
  line += r.province;
  line += ' ';
  line += r.district;
  line += ' ';
  line += r.locality;
  line += ' ';
  line += r.detail;
  return line;
}

std::vector<std::string> FormatSearchLines(const ZipDatabase& db, std::string_view query) {
  const ZipDatabase::Hits hits = db.FindAll(query);
  std::vector<std::string> lines;
  lines.reserve(hits.size());
  for (const ZipRecordView& r : hits) lines.push_back(FormatSearchLine(r));
  // std::string compares as unsigned bytes, which orders lines by zip code first.
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> FormatSearchLines(const std::vector<ZipRecordView>& records) {
  std::vector<std::string> lines;
  lines.reserve(records.size());
  for (const ZipRecordView& r : records) lines.push_back(FormatSearchLine(r));
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string ListLineToAddress(std::string_view line) {
  constexpr std::size_t kZipPrefixBytes = 8;  // the zip code and its space
  std::string text(line.size() > kZipPrefixBytes ? line.substr(kZipPrefixBytes) : std::string_view());
  for (int pass = 0; pass < 4; ++pass) {
    std::string next;
    next.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
      next += text[i];
      if (text[i] == ' ' && i + 1 < text.size() && text[i + 1] == ' ') ++i;
    }
    text.swap(next);
  }
  return text;
}

}  // namespace jasokit

#include <algorithm>

#include "jasokit/cp949.h"
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

const char* ZipFieldName(ZipField field) { return detail::LayoutOf(field).column; }

namespace {

std::string Utf8Of(std::string_view cp949) {
  std::string utf8;
  Cp949ToUtf8(cp949, utf8);
  return utf8;
}

// The CP949 form of a query; false when it has none (the table cannot hold
// such a name, and searching for '?' stand-ins could only give false hits).
bool QueryOf(std::string_view utf8, std::string& cp949) { return Utf8ToCp949(utf8, cp949); }

std::vector<ZipRecord> Utf8Records(const std::vector<ZipRecordView>& records) {
  std::vector<ZipRecord> out;
  out.reserve(records.size());
  for (const ZipRecordView& r : records) out.push_back(ToUtf8(r));
  return out;
}

}  // namespace

ZipRecord ToUtf8(const ZipRecordView& r) {
  return ZipRecord{Utf8Of(r.zipCode), Utf8Of(r.province), Utf8Of(r.district), Utf8Of(r.locality), Utf8Of(r.detail)};
}

std::vector<ZipRecord> FindAllUtf8(const ZipDatabase& db, std::string_view utf8) {
  std::string query;
  if (!QueryOf(utf8, query)) return {};
  std::vector<std::pair<std::string, ZipRecordView>> hits;
  for (const ZipRecordView& r : db.FindAll(query)) hits.emplace_back(FormatSearchLine(r), r);
  std::stable_sort(hits.begin(), hits.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<ZipRecord> out;
  out.reserve(hits.size());
  for (const auto& hit : hits) out.push_back(ToUtf8(hit.second));
  return out;
}

std::vector<ZipRecord> FindPrefixUtf8(const ZipDatabase& db, std::string_view utf8) {
  std::string query;
  return QueryOf(utf8, query) ? Utf8Records(db.FindPrefix(query)) : std::vector<ZipRecord>();
}

std::vector<ZipRecord> FindZipCodeUtf8(const ZipDatabase& db, std::string_view utf8) {
  std::string query;
  return QueryOf(utf8, query) ? Utf8Records(db.FindZipCode(query)) : std::vector<ZipRecord>();
}

std::vector<std::string> SuggestLocalitiesUtf8(const ZipDatabase& db, std::string_view utf8, std::size_t max) {
  std::string query;
  std::vector<std::string> out;
  if (!QueryOf(utf8, query)) return out;
  for (const std::string& name : db.SuggestLocalities(query, max)) out.push_back(Utf8Of(name));
  return out;
}

std::vector<std::string> FormatSearchLinesUtf8(const ZipDatabase& db, std::string_view utf8) {
  std::string query;
  std::vector<std::string> out;
  if (!QueryOf(utf8, query)) return out;
  for (const std::string& line : FormatSearchLines(db, query)) out.push_back(Utf8Of(line));
  return out;
}

std::string ListLineToAddressUtf8(std::string_view utf8Line) {
  std::string line;
  Utf8ToCp949(utf8Line, line);
  return Utf8Of(ListLineToAddress(line));
}

}  // namespace jasokit

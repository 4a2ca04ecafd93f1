#include "addrdb/korea_post_rows.h"

#include <array>

#include "addrdb/address_db_reader.h"
#include "jasokit/cp949.h"
#include "romanize/cp949.h"

namespace jasokit::detail::addrdb {

namespace {

constexpr std::string_view kCurrentHeader =
    "우편번호|시도|시도영문|시군구|시군구영문|읍면|읍면영문|도로명코드|도로명|도로명영문|지하여부|건물번호본번|"
    "건물번호부번|건물관리번호|다량배달처명|시군구용건물명|법정동코드|법정동명|리명|행정동명|산여부|지번본번|"
    "읍면동일련번호|지번부번|구우편번호|우편번호일련번호";
constexpr std::string_view k2013Header =
    "우편번호|우편일련번호|시도|시도영문|시군구|시군구영문|읍면|읍면영문|도로명코드|도로명|도로명영문|지하여부|"
    "건물번호본번|건물번호부번|건물관리번호|다량배달처명|시군구용건물명|법정동코드|법정동명|리|산여부|지번본번|"
    "읍면동일련번호|지번부번";
constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Where each field stands; kNone where the layout has no such column.
constexpr std::size_t kNone = 99;
struct Columns {
  std::size_t count;
  std::size_t postcode, region, regionEn, city, cityEn, town, townEn, road, roadEn, basement, main, sub, bulk, building,
      dong, ri, mountain, lotMain, lotSub, oldPostcode;
};
constexpr Columns kCurrentColumns = {26, 0, 1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 14, 15, 17, 18, 20, 21, 23, 24};
constexpr Columns k2013Columns = {24, 0, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 15, 16, 18, 19, 20, 21, 23, kNone};

constexpr std::size_t kMaxColumns = 26;

std::string_view StripLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

bool Digits(std::string_view text, std::size_t maxDigits, std::uint32_t& value) {
  if (text.size() > maxDigits) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return true;
}

// "06236", "135080" or "135-080" (empty when allowEmpty) into a code.
bool Postcode(std::string_view text, bool allowEmpty, std::uint32_t& code) {
  code = 0;
  if (text.empty()) return allowEmpty;
  std::string digits(text);
  if (digits.size() == 7 && digits[3] == '-') digits.erase(3, 1);
  if ((digits.size() != 5 && digits.size() != 6) || !Digits(digits, 6, code)) return false;
  if (digits.size() == 6) code += kSixDigits;
  return code != 0;
}

bool Flag(std::string_view text, bool& flag) {
  flag = text == "1";
  return text.empty() || text == "0" || text == "1";
}

// An empty sub-number is 0; a main number must be there.
bool Numbers(std::string_view main, std::string_view sub, std::uint32_t mainMax, std::uint32_t& m, std::uint32_t& s) {
  return !main.empty() && Digits(main, 9, m) && m <= mainMax && Digits(sub, 5, s) && s <= 0xFFFF;
}

bool ReadNumbers(const Columns& c, const std::array<std::string_view, kMaxColumns>& f, SourceRow& row) {
  return Postcode(f[c.postcode], false, row.postcode) &&
         (c.oldPostcode == kNone || Postcode(f[c.oldPostcode], true, row.oldPostcode)) &&
         Flag(f[c.basement], row.basement) && Flag(f[c.mountain], row.mountain) &&
         Numbers(f[c.main], f[c.sub], 0xFFFF, row.main, row.sub) &&
         (f[c.lotMain].empty() || Numbers(f[c.lotMain], f[c.lotSub], 0xFFFFFFFF, row.lotMain, row.lotSub));
}

bool IsC1(std::string_view text, std::size_t i) {
  return static_cast<unsigned char>(text[i]) == 0xC2 && i + 1 < text.size() &&
         static_cast<unsigned char>(text[i + 1]) >= 0x80 && static_cast<unsigned char>(text[i + 1]) <= 0x9F;
}

bool IsC0(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

}  // namespace

bool HasControl(std::string_view utf8) {
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (IsC0(utf8[i]) || IsC1(utf8, i)) return true;
  }
  return false;
}

std::string WithoutControls(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const bool c1 = IsC1(utf8, i);
    if (!c1 && !IsC0(utf8[i])) {
      out += utf8[i];
      continue;
    }
    const auto c = static_cast<unsigned char>(utf8[c1 ? ++i : i]);
    out += c1 ? "\\u00" : "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

SourceFormat ReadHeader(std::string_view line) {
  line = StripLineEnd(line);
  if (line.substr(0, kBom.size()) == kBom) line.remove_prefix(kBom.size());
  SourceFormat format;
  std::string text(line);
  if (!IsValidUtf8(line)) {
    text.clear();
    if (!Cp949ToUtf8(line, text)) return format;
    format.cp949 = true;
  }
  if (text == kCurrentHeader) format.layout = Layout::kCurrent;
  if (text == k2013Header) format.layout = Layout::k2013;
  return format;
}

const char* LayoutName(Layout layout) {
  switch (layout) {
    case Layout::kCurrent: return "current";
    case Layout::k2013: return "2013";
    case Layout::kUnknown: break;
  }
  return "unknown";
}

const char* RowErrorText(RowError error) {
  switch (error) {
    case RowError::kNone: return "";
    case RowError::kColumns: return "a wrong number of columns";
    case RowError::kNumber: return "a bad number";
    case RowError::kEncoding: return "bytes invalid in the file's encoding";
    case RowError::kControl: return "a control character in a field";
    case RowError::kName: return "no region or road name";
  }
  return "";
}

RowError ParseRow(const SourceFormat& format, std::string_view line, std::string& scratch, SourceRow& row) {
  line = StripLineEnd(line);
  scratch.clear();
  if (format.cp949) {
    if (!Cp949ToUtf8(line, scratch)) return RowError::kEncoding;
  } else {
    if (!IsValidUtf8(line)) return RowError::kEncoding;
    scratch.assign(line);
  }
  if (HasControl(scratch)) return RowError::kControl;
  const Columns& c = format.layout == Layout::k2013 ? k2013Columns : kCurrentColumns;
  std::array<std::string_view, kMaxColumns> f{};
  std::size_t count = 0;
  const std::string_view text(scratch);
  for (std::size_t start = 0;;) {
    const std::size_t bar = text.find('|', start);
    if (count == kMaxColumns) return RowError::kColumns;
    f[count++] = text.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start);
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  if (count != c.count) return RowError::kColumns;
  row = SourceRow{};
  if (!ReadNumbers(c, f, row)) return RowError::kNumber;
  if (f[c.region].empty() || f[c.road].empty()) return RowError::kName;
  // A six-digit code (the 2013 files have no other) was abolished in 2015:
  // it is an old postcode, never a current one.
  if (row.postcode >= kSixDigits) {
    if (row.oldPostcode == 0) row.oldPostcode = row.postcode;
    row.postcode = 0;
  }
  row.region = f[c.region];
  row.regionEn = f[c.regionEn];
  row.city = f[c.city];
  row.cityEn = f[c.cityEn];
  row.town = f[c.town];
  row.townEn = f[c.townEn];
  row.road = f[c.road];
  row.roadEn = f[c.roadEn];
  row.building = f[c.building];
  row.bulk = f[c.bulk];
  row.dong = f[c.dong];
  row.ri = f[c.ri];
  return RowError::kNone;
}

}  // namespace jasokit::detail::addrdb

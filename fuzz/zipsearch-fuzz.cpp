// The zip search on arbitrary queries: FindAll, the result-list lines, and
// the way back from a chosen line to an address for the converter, over a
// small table holding the awkward rows (shared names, duplicates, an empty
// name, names with spaces, NUL bytes and invalid CP949 in fields).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "address/conversion.h"
#include "fuzz-check.h"
#include "romanize/cp949.h"
#include "zipcode/zip_database.h"

using namespace jasokit::detail;  // the steps under test

namespace {

using namespace jasokit;

// A field as the file holds it: CP949 text padded with spaces to its width.
std::string Field(std::string_view utf8, std::size_t width) {
  std::string out;
  Utf8ToCp949(utf8, out);
  out.resize(width, ' ');
  return out;
}

// A raw record: deletion flag, the five fields as given, the sequence.
std::string RawRecord(const std::string& zip, const std::string& province, const std::string& district,
                      const std::string& locality, const std::string& detail) {
  return " " + zip + province + district + locality + detail + "00001";
}

struct Row {
  std::string_view zip;
  std::string_view province;
  std::string_view district;
  std::string_view locality;
  std::string_view detail;
};

using namespace std::literals;

const Row kRows[] = {
    {"135-080", "서울", "강남구", "역삼동", ""},
    {"135-081", "서울", "강남구", "역삼동", "1동"},
    {"614-010", "부산", "부산진구", "역삼동", "산 12"},
    {"110-011", "서울", "종로구", "종로1가", ""},
    {"637-801", "경남", "함안군", "가야읍", "말산리"},
    {"637-801", "경남", "함안군", "가야읍", "말산리"},  // an identical row
    {"612-020", "부산", "해운대구", "우동", ""},
    {"607-010", "부산", "동래구", "", ""},  // an empty name
    {"560-190", "전북", "전주시덕진구", "덕진동", "1가"},
    {"690-110", "제주", "제주시", "대학로 캠퍼스", ""},   // a name of two words
    {"135-2\0\0"sv, "서울", "강남구", "삼성동", "\0"sv},  // NUL bytes end a field
    {"999-999", "경기", "성남시분당구", "정자동", "현대아파트 101동"},
};

ZipDatabase* g_db;

// Spaces dropped: what the line-to-address step may remove, and nothing else.
std::string WithoutSpaces(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c != ' ') out += c;
  }
  return out;
}

void CheckAddressOf(std::string_view line) {
  const std::string address = ListLineToAddress(line);
  const std::string_view rest = line.size() > 8 ? line.substr(8) : std::string_view();
  FUZZ_CHECK(address.size() <= rest.size());
  FUZZ_CHECK(WithoutSpaces(address) == WithoutSpaces(rest));
  const Result r = ConvertInput(address);
  FUZZ_CHECK(r.status != ConversionStatus::TooLong || rest.size() > kMaxInputBytes);
  FUZZ_CHECK(r.output.size() <= kMaxInputBytes);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string image(kZipHeaderBytes, '\0');
  for (const Row& row : kRows) {
    image += RawRecord(Field(row.zip, kZipCodeBytes), Field(row.province, kZipProvinceBytes),
                       Field(row.district, kZipDistrictBytes), Field(row.locality, kZipLocalityBytes),
                       Field(row.detail, kZipDetailBytes));
  }
  // Bytes that are not CP949, straight from a damaged file.
  image += RawRecord("\x80\xff\xb0-000", "\xb0\xa1\xff ", "\xc9\xa1" + std::string(11, ' '),
                     "\x80\xb0" + std::string(41, ' '), "\xa1\x20\x20" + std::string(14, ' '));
  g_db = new ZipDatabase;
  FUZZ_CHECK(g_db->Parse(image) == ZipLoadStatus::Ok && g_db->size() == std::size(kRows) + 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view query(reinterpret_cast<const char*>(data), size);
  const ZipDatabase::Hits hits = g_db->FindAll(query);
  std::vector<std::string> expected;
  for (const ZipRecordView& view : hits) {
    const ZipRecord r = view.ToRecord();
    FUZZ_CHECK(r.locality == query);
    expected.push_back(r.zipCode + ' ' + r.province + ' ' + r.district + ' ' + r.locality + ' ' + r.detail);
  }
  std::sort(expected.begin(), expected.end());

  const std::vector<std::string> lines = FormatSearchLines(*g_db, query);
  FUZZ_CHECK(lines == expected);
  for (const std::string& line : lines) CheckAddressOf(line);
  CheckAddressOf(query);  // the way back must hold for any text, not only real lines
  return 0;
}

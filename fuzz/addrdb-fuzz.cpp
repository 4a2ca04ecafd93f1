// The address database opener and its lookups on arbitrary images, and the
// reading of Korea Post source lines.
//
// Input: the first byte chooses. Odd: the rest is a source line, read as a
// header and as a row of each layout and encoding, and built into a
// database that must open and verify. Even with bit 2 set: the rest is a
// query, searched in a small sound database with a limit from the byte's
// high bits; the matches keep to the limit and come best first. Otherwise
// the rest is a database image; once opened, it answers a query of every
// kind, a conversion that asks it, and its info. With bit 1 set as well,
// the image's checksums are first set to its bytes, so that the reader's
// own checks meet every damage the sums would have caught.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "addrdb/address_db_writer.h"
#include "addrdb/korea_post_rows.h"
#include "fuzz-check.h"
#include "jasokit/address_db.h"
#include "jasokit/address_db_builder.h"
#include "jasokit/convert.h"

namespace {

using namespace jasokit;
using namespace jasokit::detail::addrdb;

constexpr const char* kQueries[] = {
    "테헤란로 152",
    "서울 강남구 테헤란로 지하 12-2",
    "테헤란로",
    "역삼동 737",
    "금남면 감성리 산42",
    "아주",
    "06236",
    "135-984",
    "339831",
    "개포로17길 9-3",
    "",
    " ",
    "516 Gaepo-ro, Gangnam-gu",
    "Gangnam-gu Teheran-ro",
    "ㄱㅍㄹ 516",
    "rovhfh 516",
    "개포르 516",
    "강남구개포로516",
    "논현로8",
    "역삼동",
    "개포동 185번지",
    "g-heim",
};

// Rows of a sound database for the queries.
const std::string kSoundRows = std::string(
    "06236|서울특별시|Seoul|강남구|Gangnam-gu|||1|테헤란로|Teheran-ro|0|152|0|1||강남파이낸스센터|1|역삼동||역삼1동|0|"
    "737|01|0|135-984|\n"
    "06236|서울특별시|Seoul|강남구|Gangnam-gu|||1|테헤란로|Teheran-ro|1|12|2|2|||1|역삼동||역삼1동|0|736|01|1||\n"
    "06303|서울특별시|Seoul|강남구|Gangnam-gu|||2|개포로17길|Gaepo-ro 17-gil|0|9|3|3||G-heim|2|개포동||개포4동|0|1245|"
    "01|5||\n"
    "06330|서울특별시|Seoul|강남구|Gangnam-gu|||3|개포로|Gaepo-ro|0|516|0|4||개포주공아파트|2|개포동||개포2동|0|185|01|"
    "0||\n"
    "16499|경기도|Gyeonggi-do|수원시 영통구|Suwon-si Yeongtong-gu|||4|월드컵로|World cup-ro|0|206|0|5|아주대학교|"
    "아주대학교|4|원천동||원천동|0|5|01|0|443-749|\n");

constexpr const char* kAddresses[] = {
    "서울 강남구 테헤란로 152",   "서울 강남구 역삼동 737", "세종 금남면 감성길 32",
    "서울 강남구 개포로17길 9-3", "테헤란로 152",           "강남구 역삼동 737",
};

constexpr const char* kCurrentHeader =
    "\xEF\xBB\xBF우편번호|시도|시도영문|시군구|시군구영문|읍면|읍면영문|도로명코드|도로명|도로명영문|지하여부|"
    "건물번호본번|건물번호부번|건물관리번호|다량배달처명|시군구용건물명|법정동코드|법정동명|리명|행정동명|산여부|"
    "지번본번|읍면동일련번호|지번부번|구우편번호|우편번호일련번호";

void Lines(std::string_view line) {
  ReadHeader(line);
  std::string scratch;
  SourceRow row;
  for (const Layout layout : {Layout::kCurrent, Layout::k2013}) {
    for (const bool cp949 : {false, true}) ParseRow(SourceFormat{layout, cp949}, line, scratch, row);
  }
  // A row the builder takes makes a database that opens.
  AddressDbBuilder builder;
  FUZZ_CHECK(builder.BeginText(kCurrentHeader));
  builder.AddLine(line, 2);
  if (builder.EndText("fuzz.txt", "2026-01-01").rows == 0) return;
  std::string image;
  FUZZ_CHECK(builder.Write([&](std::string_view bytes) {
    image += bytes;
    return true;
  }));
  AddressDatabase db;
  FUZZ_CHECK(db.OpenBytes(image) == AddressDbStatus::Ok);
  FUZZ_CHECK(db.Verify() == AddressDbStatus::Ok);
  FUZZ_CHECK(db.Lookup(line.substr(0, 5)).matches.size() <= AddressDatabase::kDefaultLimit);
}

const AddressDatabase& SoundDatabase() {
  static const std::string* image = [] {
    AddressDbBuilder builder;
    builder.BeginText(kCurrentHeader);
    std::size_t n = 2, start = 0;
    for (std::size_t end; (end = kSoundRows.find('\n', start)) != std::string::npos; start = end + 1) {
      builder.AddLine(std::string_view(kSoundRows).substr(start, end - start), n++);
    }
    builder.EndText("fuzz.txt", "2026-01-01");
    auto* bytes = new std::string;
    builder.Write([&](std::string_view piece) {
      *bytes += piece;
      return true;
    });
    return bytes;
  }();
  static AddressDatabase db;
  static const bool opened = db.OpenBytes(*image) == AddressDbStatus::Ok;
  FUZZ_CHECK(opened);
  return db;
}

void Search(std::string_view query, std::size_t limit) {
  const AddressLookupResult r = SoundDatabase().Lookup(query, limit);
  FUZZ_CHECK(r.matches.size() <= limit);
  for (std::size_t i = 0; i < r.matches.size(); ++i) {
    FUZZ_CHECK(r.matches[i].score <= 100);
    FUZZ_CHECK(!r.matches[i].matched.empty());
    FUZZ_CHECK(i == 0 || r.matches[i - 1].score >= r.matches[i].score);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // A copy of its own size, so that a read past the end is caught.
  std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1) {
    Lines(bytes);
    return 0;
  }
  if (data[0] & 4) {
    Search(bytes, 1 + (data[0] >> 3));
    return 0;
  }
  const bool sealed = (data[0] & 2) != 0;
  if (sealed) SealImage(bytes);
  AddressDatabase db;
  if (db.OpenBytes(bytes) != AddressDbStatus::Ok) return 0;
  FUZZ_CHECK(!sealed || db.Verify() == AddressDbStatus::Ok);
  for (const char* query : kQueries) db.Lookup(query, 5);
  Options options;
  options.style = Style::Official;
  options.database = &db;
  for (const char* address : kAddresses) {
    Convert(address, options);
    options.keepLot = !options.keepLot;
  }
  db.Info();
  return 0;
}

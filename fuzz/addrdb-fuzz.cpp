// The address database opener and its lookups on arbitrary images, and the
// reading of Korea Post source lines.
//
// Input: the first byte chooses. Even: the rest is a database image; once
// opened, it answers a query of every kind, a conversion that asks it, and
// its info. With bit 1 set as well, the image's checksums are first set to
// its bytes, so that the reader's own checks meet every damage the sums
// would have caught. Odd: the rest is a source line, read as a header and as
// a row of each layout and encoding, and built into a database that must
// open and verify.
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
};

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // A copy of its own size, so that a read past the end is caught.
  std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1) {
    Lines(bytes);
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

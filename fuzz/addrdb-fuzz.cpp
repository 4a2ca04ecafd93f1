// The address database opener and its lookups on arbitrary images, and the
// reading of Korea Post source lines.
//
// Input: the first byte chooses. Even: the rest is a database image; once
// opened, it answers a query of every kind, a conversion that asks it, and
// its info. Odd: the rest is a source line, read as a header and as a row
// of each layout and encoding.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "addrdb/korea_post_rows.h"
#include "jasokit/address_db.h"
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
    "서울 강남구 테헤란로 152",
    "서울 강남구 역삼동 737",
    "세종 금남면 감성길 32",
    "서울 강남구 개포로17길 9-3",
};

void Lines(std::string_view line) {
  ReadHeader(line);
  std::string scratch;
  SourceRow row;
  for (const Layout layout : {Layout::kCurrent, Layout::k2013}) {
    for (const bool cp949 : {false, true}) ParseRow(SourceFormat{layout, cp949}, line, scratch, row);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // A copy of its own size, so that a read past the end is caught.
  const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1) {
    Lines(bytes);
    return 0;
  }
  AddressDatabase db;
  if (db.OpenBytes(bytes) != AddressDbStatus::Ok) return 0;
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

// The CP949 codec and the romanizer's conversion areas on arbitrary bytes:
// decoding then encoding never grows the text, valid text survives byte for
// byte, the UTF-8 edge agrees with the UTF-16 path, and the engine never
// delivers more than its 1024-byte area.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz-check.h"
#include "romanize/cp949.h"
#include "romanize/hangul_romanizer.h"

using namespace jasokit::detail;  // the steps under test

namespace {

using namespace jasokit;

void CheckCp949Side(std::string_view in) {
  std::u16string units;
  DecodeCp949(in, units);
  FUZZ_CHECK(units.size() <= in.size());
  const bool valid = units.find(kReplacementChar) == std::u16string::npos;

  std::string back;
  const bool mapped = EncodeCp949(units, back);
  FUZZ_CHECK(back.size() <= in.size());
  FUZZ_CHECK(mapped == valid);
  if (valid) FUZZ_CHECK(back == in);

  // Stepping by Cp949CharLength visits as many characters as decoding makes
  // units when the text is valid.
  std::size_t steps = 0;
  for (std::size_t i = 0; i < in.size(); i += Cp949CharLength(in, i)) ++steps;
  if (valid) FUZZ_CHECK(steps == units.size());

  // Through UTF-8 and back lands on the same bytes as through UTF-16.
  std::string utf8;
  FUZZ_CHECK(Cp949ToUtf8(in, utf8) == valid);
  FUZZ_CHECK(utf8.size() <= 3 * in.size());
  std::string viaUtf8;
  Utf8ToCp949(utf8, viaUtf8);
  FUZZ_CHECK(viaUtf8 == back);
}

void CheckUtf8Side(std::string_view in) {
  std::string cp949;
  const bool clean = Utf8ToCp949(in, cp949);
  FUZZ_CHECK(cp949.size() <= in.size());
  std::string utf8;
  const bool decodes = Cp949ToUtf8(cp949, utf8);
  FUZZ_CHECK(decodes);  // the encoder only ever writes mapped pairs and ASCII
  if (clean) FUZZ_CHECK(utf8 == in);
}

void CheckEngine(std::string_view in) {
  const std::string text(in.substr(0, in.find('\0')));
  HangulRomanizer engine;
  const std::uint16_t count = engine.Romanize(text.c_str());
  std::string out;
  engine.GetResult(out);
  FUZZ_CHECK(out.size() <= kMaxResultBytes);
  FUZZ_CHECK(count <= kMaxUnits);
  std::u16string units;
  DecodeCp949(text, units);
  if (units.size() > kMaxUnits) FUZZ_CHECK(count == 0 && out.empty());
  if (!units.empty() && units.size() <= kMaxUnits) FUZZ_CHECK(count == units.size());
  std::string again;
  engine.GetResult(again);
  FUZZ_CHECK(again == out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  CheckCp949Side(in);
  CheckUtf8Side(in);
  CheckEngine(in);
  return 0;
}

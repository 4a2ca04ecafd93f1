// Both styles through every entry point: Convert (UTF-8), ConvertInput
// (CP949) and Romanize, on any text of up to 4 KB. An official-style address
// must be its fields joined, hold no Hangul syllable and come out the same
// however often, and whatever was converted in between, it is asked for.
//
// Input: a flags byte, then the text. Bit 0: the text is UTF-8 (else CP949);
// bit 1: a country of the caller's replaces the style's own; bit 2: the
// official style writes from a small address database, so that the data's
// answers, doubts and suggestions are fuzzed too.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>

#include "fuzz-check.h"
#include "jasokit/address_db.h"
#include "jasokit/address_db_builder.h"
#include "jasokit/convert.h"
#include "romanize/cp949.h"

using namespace jasokit::detail;  // the codec's steps

namespace {

using namespace jasokit;

constexpr std::size_t kMaxFuzzBytes = 4096;
constexpr std::string_view kCallerCountry = "Korea, South";

// The fields in the order the output gives them.
constexpr std::string AddressFields::*kFields[] = {&AddressFields::detail,   &AddressFields::street,
                                                   &AddressFields::district, &AddressFields::region,
                                                   &AddressFields::postcode, &AddressFields::country};

// One result, whichever entry point gave it, in the encoding of its input.
struct Outcome {
  ConversionStatus status;
  std::string normalized;
  std::string output;
  std::optional<AddressFields> fields;

  bool operator==(const Outcome& o) const {
    if (status != o.status || normalized != o.normalized || output != o.output) return false;
    if (fields.has_value() != o.fields.has_value()) return false;
    for (const auto field : kFields) {
      if (fields && (*fields).*field != (*o.fields).*field) return false;
    }
    return true;
  }
};

Outcome Run(std::string_view text, bool utf8, const Options& options) {
  if (utf8) {
    Result r = Convert(text, options);
    return {r.status, std::move(r.normalized), std::move(r.output), std::move(r.fields)};
  }
  Result r = ConvertInput(text, options);
  return {r.status, std::move(r.normalized), std::move(r.output), std::move(r.fields)};
}

// The character at text[i]: its bytes, and the CP949 bytes it counts for
// against the output limit (in UTF-8, two for anything past ASCII).
struct Character {
  std::size_t bytes;
  std::size_t width;
};

Character CharacterAt(std::string_view text, std::size_t i, bool utf8) {
  if (!utf8) {
    const std::size_t n = Cp949CharLength(text, i);
    return {n, n};
  }
  const std::size_t n = ValidUtf8Length(text, i);
  FUZZ_CHECK(n > 0);  // the library writes valid UTF-8 only
  return {n, n == 1 ? std::size_t{1} : std::size_t{2}};
}

bool HasHangulSyllable(std::string_view text, bool utf8) {
  std::u16string units;
  if (utf8) {
    std::string cp949;
    Utf8ToCp949(text, cp949);
    DecodeCp949(cp949, units);
  } else {
    DecodeCp949(text, units);
  }
  for (char16_t u : units) {
    if (u >= 0xAC00 && u <= 0xD7A3) return true;
  }
  return false;
}

// The non-empty fields joined by ", ": the output, unless that passes the
// limit; then the output is its longest start of whole characters within
// kOutputBufferBytes, and the fields are whole.
void CheckFieldsMakeOutput(const Outcome& o, bool utf8, std::string_view country) {
  const AddressFields& f = *o.fields;
  FUZZ_CHECK(!f.region.empty());
  FUZZ_CHECK(f.country == (country.empty() ? "Republic of Korea" : country));
  FUZZ_CHECK(f.postcode.empty() || f.postcode.size() == 5);
  std::string joined;
  for (const auto field : kFields) {
    if ((f.*field).empty()) continue;
    if (!joined.empty()) joined += ", ";
    joined += f.*field;
  }
  std::size_t end = 0, width = 0;
  while (end < joined.size()) {
    const Character c = CharacterAt(joined, end, utf8);
    if (width + c.width > kOutputBufferBytes) break;
    width += c.width;
    end += c.bytes;
  }
  FUZZ_CHECK(o.output == std::string_view(joined).substr(0, end));
}

void CheckOutcome(const Outcome& o, Style style, bool utf8, const Options& options) {
  if (o.status == ConversionStatus::TooLong || o.status == ConversionStatus::Empty) {
    FUZZ_CHECK(o.normalized.empty() && o.output.empty() && !o.fields);
    return;
  }
  if (utf8) FUZZ_CHECK(IsValidUtf8(o.output));
  const bool official = style == Style::Official;
  FUZZ_CHECK(o.fields.has_value() == (official && o.status == ConversionStatus::Address));
  if (official) FUZZ_CHECK(!HasHangulSyllable(o.output, utf8));
  if (o.fields) CheckFieldsMakeOutput(o, utf8, options.country);
  // Text that is no address is the romanization of the normalised text.
  if (utf8 && o.status == ConversionStatus::PlainText) FUZZ_CHECK(o.output == Romanize(o.normalized, style));
}

void CheckRomanize(std::string_view utf8, Style style) {
  const std::string r = Romanize(utf8, style);
  FUZZ_CHECK(IsValidUtf8(r));
  FUZZ_CHECK(!HasHangulSyllable(r, true));
  std::size_t width = 0;
  for (std::size_t i = 0; i < r.size();) {
    const Character c = CharacterAt(r, i, true);
    width += c.width;
    i += c.bytes;
  }
  FUZZ_CHECK(width <= kOutputBufferBytes);
  FUZZ_CHECK(Romanize(utf8, style) == r);
}

Outcome ToUtf8(const Outcome& o) {
  Outcome u{o.status, {}, {}, std::nullopt};
  Cp949ToUtf8(o.normalized, u.normalized);
  Cp949ToUtf8(o.output, u.output);
  if (o.fields) {
    AddressFields& f = u.fields.emplace();
    for (const auto field : kFields) Cp949ToUtf8((*o.fields).*field, f.*field);
  }
  return u;
}

// A few buildings: two of one number with two codes, roads one jamo apart.
const AddressDatabase* SmallDatabase() {
  static std::string image;
  static AddressDatabase db;
  static const bool open = [] {
    AddressDbBuilder builder;
    const char* header =
        "\xEF\xBB\xBF우편번호|시도|시도영문|시군구|시군구영문|읍면|읍면영문|도로명코드|도로명|도로명영문|지하여부|"
        "건물번호본번|건물번호부번|건물관리번호|다량배달처명|시군구용건물명|법정동코드|법정동명|리명|행정동명|산여부|"
        "지번본번|읍면동일련번호|지번부번|구우편번호|우편번호일련번호";
    const char* rows[] = {
        "06330|서울특별시|Seoul|강남구|Gangnam-gu|||1|개포로|Gaepo-ro|0|516|0|1||개포주공아파트|1|개포동||개포2동|0|"
        "185|"
        "01|0|135-240|",
        "06331|서울특별시|Seoul|강남구|Gangnam-gu|||1|개포로|Gaepo-ro|0|516|0|2|||1|개포동||개포2동|0|186|01|0||",
        "06332|서울특별시|Seoul|강남구|Gangnam-gu|||2|개포르|Gaepo-reu|1|12|3|3|||1|개포동||개포2동|1|12|01|0||",
        "06333|서울특별시|Seoul|강남구|Gangnam-gu|||3|개표로|Gaepyo-ro|0|7|0|4|||1|개포동||개포2동|0|13|01|0||",
    };
    if (!builder.BeginText(header)) return false;
    std::size_t line = 1;
    for (const char* row : rows) builder.AddLine(row, ++line);
    builder.EndText("fuzz", "2026-01-01");
    std::ostringstream out;
    if (!builder.Write(out)) return false;
    image = out.str();
    return db.OpenBytes(image) == AddressDbStatus::Ok;
  }();
  FUZZ_CHECK(open);
  return &db;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > kMaxFuzzBytes + 1) return 0;
  const bool utf8 = (data[0] & 1) != 0;
  const std::string_view country = (data[0] & 2) != 0 ? kCallerCountry : std::string_view();
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  // The same text in the other encoding, when it has one.
  std::string other;
  const bool both = utf8 ? Utf8ToCp949(text, other) : Cp949ToUtf8(text, other);
  // A text of the same length with one byte changed: names of equal length.
  std::string changed(text);
  if (!changed.empty()) changed[changed.size() / 2] ^= 1;

  for (const Style style : {Style::Classic, Style::Official}) {
    Options options{style, std::string(country)};
    if ((data[0] & 4) != 0) options.database = SmallDatabase();
    const Outcome first = Run(text, utf8, options);
    CheckOutcome(first, style, utf8, options);
    Run(changed, utf8, options);
    Run(changed, !utf8, options);
    FUZZ_CHECK(Run(text, utf8, options) == first);
    if (both) {
      const Outcome second = Run(other, !utf8, options);
      FUZZ_CHECK(utf8 ? ToUtf8(second) == first : second == ToUtf8(first));
    }
    if (utf8 || both) CheckRomanize(utf8 ? text : std::string_view(other), style);
  }
  return 0;
}

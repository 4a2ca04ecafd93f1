// ConvertInput on arbitrary NUL-free bytes of up to 4 KB: no crash, no read
// or write out of bounds, and every result keeps the promises of its status.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "address/conversion.h"
#include "fuzz-check.h"
#include "romanize/cp949.h"

using namespace jasokit::detail;  // the steps under test

namespace {

using namespace jasokit;

constexpr std::size_t kMaxFuzzBytes = 4096;

bool IsSpaceByte(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// True if pattern occurs in text at a character boundary.
bool HasAtBoundary(std::string_view text, std::string_view pattern) {
  for (std::size_t i = 0; i < text.size(); i += Cp949CharLength(text, i)) {
    if (text.compare(i, pattern.size(), pattern) == 0) return true;
  }
  return false;
}

// The double-byte characters of a CP949 text, in order; they are what
// passes through the romanizer untouched, unless they are Hangul syllables.
std::string DoubleByteChars(std::string_view text, bool dropSyllables) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t len = Cp949CharLength(text, i);
    if (len == 2) {
      const char16_t u = DecodeCp949Pair(static_cast<unsigned char>(text[i]), static_cast<unsigned char>(text[i + 1]));
      if (!(dropSyllables && u >= 0xAC00 && u <= 0xD7A3)) out.append(text.substr(i, 2));
    }
    i += len;
  }
  return out;
}

void CheckResult(std::string_view input, const Result& r) {
  const std::string_view trimmed = TrimWhitespace(input);
  switch (r.status) {
    case ConversionStatus::TooLong:
      FUZZ_CHECK(trimmed.size() > kMaxInputBytes);
      FUZZ_CHECK(r.normalized.empty() && r.output.empty());
      return;
    case ConversionStatus::Empty:
      FUZZ_CHECK(trimmed.empty());
      FUZZ_CHECK(r.normalized.empty() && r.output.empty());
      return;
    case ConversionStatus::Address:
    case ConversionStatus::PlainText: break;
  }
  FUZZ_CHECK(!trimmed.empty() && trimmed.size() <= kMaxInputBytes);
  const std::string& norm = r.normalized;
  FUZZ_CHECK(!norm.empty() && norm.size() <= trimmed.size());
  FUZZ_CHECK(!IsSpaceByte(norm.front()));
  FUZZ_CHECK(!HasAtBoundary(norm, "\n") && !HasAtBoundary(norm, "  "));
  FUZZ_CHECK(r.output.size() <= kMaxInputBytes);
  const std::string& out = r.output;
  if (!out.empty()) FUZZ_CHECK(!(out[0] >= 'a' && out[0] <= 'z'));

  if (r.status == ConversionStatus::PlainText) {
    // Syllables become letters; every other double-byte character comes back
    // as it went in (after the codec has replaced invalid bytes by '?').
    std::u16string units;
    DecodeCp949(norm, units);
    std::string canonical;
    EncodeCp949(units, canonical);
    if (!out.empty()) {
      FUZZ_CHECK(DoubleByteChars(out, false) == DoubleByteChars(canonical, true));
      FUZZ_CHECK(DoubleByteChars(out, false) == DoubleByteChars(out, true));
    }
  } else {
    // A rendered address ends in the country unless it was cut at the limit.
    FUZZ_CHECK(!out.empty());
    if (out.size() < kMaxInputBytes - 1) {
      FUZZ_CHECK(out.size() >= 8 && out.compare(out.size() - 8, 8, "S.KOREA ") == 0);
    }
  }

  // The normalised text is a fixed point: converting it again changes nothing.
  const Result again = ConvertInput(norm);
  FUZZ_CHECK(again.status == r.status);
  FUZZ_CHECK(again.normalized == norm);
  FUZZ_CHECK(again.output == out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxFuzzBytes) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  if (input.find('\0') != std::string_view::npos) return 0;  // text comes zero-terminated
  CheckResult(input, ConvertInput(input));
  return 0;
}

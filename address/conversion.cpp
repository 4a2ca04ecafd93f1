#include "address/conversion.h"

#include "address/address_converter.h"
#include "romanize/cp949.h"
#include "romanize/hangul_romanizer.h"

namespace jasokit {

namespace {

constexpr bool IsSingleByteSpace(unsigned char b) { return b == 0x20 || (b >= 0x09 && b <= 0x0D); }

// Replaces every occurrence of pattern found at a character boundary;
// returns the number of replacements.
std::size_t ReplaceAll(std::string& text, std::string_view pattern, std::string_view with) {
  if (text.find(pattern) == std::string::npos) return 0;  // the usual case
  std::string out;
  out.reserve(text.size());
  std::size_t count = 0;
  const std::string_view in(text);
  for (std::size_t i = 0; i < in.size();) {
    if (in.compare(i, pattern.size(), pattern) == 0) {
      out.append(with);
      i += pattern.size();
      ++count;
      continue;
    }
    const std::size_t len = Cp949CharLength(in, i);
    out.append(in.substr(i, len));
    i += len;
  }
  text.swap(out);
  return count;
}

}  // namespace

std::string_view TrimWhitespace(std::string_view text) {
  // Trailing first, stepping over double-byte characters whole, so a byte
  // that follows a lead byte is never taken for whitespace.
  std::size_t runStart = std::string_view::npos;
  for (std::size_t i = 0; i < text.size();) {
    if (IsSingleByteSpace(static_cast<unsigned char>(text[i]))) {
      if (runStart == std::string_view::npos) runStart = i;
      ++i;
    } else {
      runStart = std::string_view::npos;
      i += Cp949CharLength(text, i);
    }
  }
  if (runStart != std::string_view::npos) text = text.substr(0, runStart);
  std::size_t lead = 0;
  while (lead < text.size() && IsSingleByteSpace(static_cast<unsigned char>(text[lead]))) ++lead;
  return text.substr(lead);
}

std::string NormalizeWhitespace(std::string_view text) {
  std::string s(text);
  ReplaceAll(s, "\r\n", " ");
  ReplaceAll(s, "\n", " ");
  while (ReplaceAll(s, "  ", " ") > 0) {
  }
  return s;
}

ConversionResult ConvertInput(std::string_view text) {
  ConversionResult result;
  const std::string_view trimmed = TrimWhitespace(text);
  if (trimmed.size() > kMaxInputBytes) {
    result.status = ConversionStatus::TooLong;
    return result;
  }
  if (trimmed.empty()) {
    result.status = ConversionStatus::Empty;
    return result;
  }
  result.normalizedText = NormalizeWhitespace(trimmed);

  AddressConverter converter;
  converter.SetInput(result.normalizedText.c_str());
  if (converter.Recognize()) {
    char buffer[kOutputBufferBytes + 1];
    converter.Render(buffer);
    result.outputText = buffer;
    result.status = ConversionStatus::Address;
    return result;
  }
  HangulRomanizer romanizer;
  romanizer.Romanize(result.normalizedText.c_str());
  romanizer.GetResult(result.outputText);
  result.status = ConversionStatus::PlainText;
  return result;
}

const char* ConversionStatusName(ConversionStatus status) {
  switch (status) {
    case ConversionStatus::TooLong: return "TooLong";
    case ConversionStatus::Empty: return "Empty";
    case ConversionStatus::Address: return "Address";
    case ConversionStatus::PlainText: return "PlainText";
  }
  return "";
}

const std::string& RefusalMessage() {
  static const std::string message = [] {
    std::string s;
    Utf8ToCp949(kRefusalMessageUtf8, s);
    return s;
  }();
  return message;
}

}  // namespace jasokit

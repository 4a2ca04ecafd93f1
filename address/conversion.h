#pragma once
// The conversion request: clean up the input box text, refuse over-long text,
// and render it as an address or romanize it as plain text.
#include <cstddef>
#include <string>
#include <string_view>

namespace jasokit {

inline constexpr std::size_t kMaxInputBytes = 1024;

// Shown for TooLong; the limit is in bytes although the text says characters.
inline constexpr const char* kRefusalMessageUtf8 =
    "입력 길이가 1000 글자를 초과하여 처리할 수 없습니다.\r\n다시 한번 확인해 주세요.";

enum class ConversionStatus { TooLong, Empty, Address, PlainText };

struct ConversionResult {
  ConversionStatus status = ConversionStatus::Empty;
  std::string normalizedText;  // CP949
  std::string outputText;      // CP949
};

ConversionResult ConvertInput(std::string_view text);

// Helpers of ConvertInput, exposed for tests.
std::string_view TrimWhitespace(std::string_view text);
std::string NormalizeWhitespace(std::string_view text);

const char* ConversionStatusName(ConversionStatus status);

// The refusal message in CP949.
const std::string& RefusalMessage();

}  // namespace jasokit

#pragma once
// The body of POST /v1/convert: {"texts": [...], "style": ..., "country": ...}.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jasokit::cli {

struct BatchRequest {
  std::vector<std::string> texts;  // as sent: bytes of invalid UTF-8 stay for the converter to replace
  std::optional<std::string> style;
  std::optional<std::string> country;
};

enum class BatchError { kNone, kInvalid, kTooMany };

// Reads a JSON object; other keys are skipped. Nesting deeper than 64, more
// than maxTexts texts, or any JSON error ends the reading, with why in error.
BatchError ParseBatchRequest(std::string_view body, std::size_t maxTexts, BatchRequest& out, std::string& error);

}  // namespace jasokit::cli

// The body of a batch request on any bytes: never more texts than allowed,
// an error always said, and the texts read, written back as JSON, read back
// the same (bytes past ASCII are kept as sent). Each text written by the
// service's JSON writer reads back as valid JSON, the same text when it is
// valid UTF-8.
//
// Input: a byte for the limit on texts, then the body.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "service/batch_request.h"
#include "frontend/json.h"
#include "fuzz-check.h"
#include "jasokit/cp949.h"

namespace {

using namespace jasokit::cli;

void AppendEscaped(std::string_view text, std::string& out) {
  constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80) {
      out += c;
    } else {
      out += "\\u00";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  out += '"';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const std::size_t limit = data[0] % 16;
  const std::string_view body(reinterpret_cast<const char*>(data + 1), size - 1);
  BatchRequest request;
  std::string error;
  const BatchError result = ParseBatchRequest(body, limit, request, error);
  if (result != BatchError::kNone) {
    FUZZ_CHECK(!error.empty() && request.texts.empty());
    return 0;
  }
  FUZZ_CHECK(error.empty() && request.texts.size() <= limit);
  std::string written = "{\"texts\": [";
  for (std::size_t i = 0; i < request.texts.size(); ++i) {
    if (i > 0) written += ", ";
    AppendEscaped(request.texts[i], written);
  }
  written += "]}";
  BatchRequest again;
  FUZZ_CHECK(ParseBatchRequest(written, limit, again, error) == BatchError::kNone);
  FUZZ_CHECK(again.texts == request.texts);
  for (std::size_t i = 0; i < request.texts.size(); ++i) {
    const std::string_view text = request.texts[i];
    std::string json = "{\"texts\":[";
    AppendJsonString(text, json);
    json += "]}";
    FUZZ_CHECK(ParseBatchRequest(json, 1, again, error) == BatchError::kNone && again.texts.size() == 1);
    if (jasokit::IsValidUtf8(text)) FUZZ_CHECK(again.texts[0] == text);
  }
  return 0;
}

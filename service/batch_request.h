#pragma once
// The body of POST /v1/convert: {"texts": [...], "style": ..., "country": ...}.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jasokit::cli {

// The texts of a request, one after another in one buffer: reading ten
// thousand of them allocates a few times, not ten thousand.
class BatchTexts {
 public:
  std::size_t size() const { return m_ends.size(); }
  bool empty() const { return m_ends.empty(); }
  std::string_view operator[](std::size_t i) const {
    const std::size_t begin = i == 0 ? 0 : m_ends[i - 1];
    return std::string_view(m_bytes).substr(begin, m_ends[i] - begin);
  }
  bool operator==(const BatchTexts& other) const { return m_bytes == other.m_bytes && m_ends == other.m_ends; }

  void clear() {
    m_bytes.clear();
    m_ends.clear();
  }
  // The reader appends a text's bytes to Bytes(), then ends it.
  std::string& Bytes() { return m_bytes; }
  void EndText() { m_ends.push_back(m_bytes.size()); }

 private:
  std::string m_bytes;
  std::vector<std::size_t> m_ends;
};

struct BatchRequest {
  BatchTexts texts;  // as sent: bytes of invalid UTF-8 stay for the converter to replace
  std::optional<std::string> style;
  std::optional<std::string> country;
};

enum class BatchError { kNone, kInvalid, kTooMany };

// Reads a JSON object; other keys are skipped. Nesting deeper than 64, more
// than maxTexts texts, or any JSON error ends the reading, with why in error.
BatchError ParseBatchRequest(std::string_view body, std::size_t maxTexts, BatchRequest& out, std::string& error);

}  // namespace jasokit::cli

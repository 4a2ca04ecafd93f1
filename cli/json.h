#pragma once
// JSON text for the command line's machine-readable output.
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace jasokit::cli {

// Appends utf8 as a JSON string literal, quotes included: '"' and '\' are
// escaped, control characters written as \n, \r, \t, \b, \f or \u00XX, valid
// UTF-8 passed through unchanged. Each byte that does not belong to a valid
// UTF-8 sequence becomes \ufffd, so the result is valid JSON whatever the input.
void AppendJsonString(std::string_view utf8, std::string& out);

using JsonField = std::pair<const char*, const std::string*>;

// Appends {"key":"value",...} for fields of UTF-8 values, in their order.
void AppendJsonObject(const JsonField* fields, std::size_t count, std::string& out);

template <std::size_t N>
void AppendJsonObject(const JsonField (&fields)[N], std::string& out) {
  AppendJsonObject(fields, N, out);
}

}  // namespace jasokit::cli

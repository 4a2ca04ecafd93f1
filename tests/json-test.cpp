// JSON string literals from UTF-8 text, valid JSON whatever the bytes.
#include "cli/json.h"

#include <gtest/gtest.h>

#include <string>

namespace jasokit {
namespace {

std::string Json(std::string_view text) {
  std::string out;
  cli::AppendJsonString(text, out);
  return out;
}

TEST(JsonStringTest, EscapesWhatJsonRequires) {
  const struct {
    std::string text, json;
  } kCases[] = {
      {"", "\"\""},
      {"abc 123", "\"abc 123\""},
      {"say \"hi\"", "\"say \\\"hi\\\"\""},
      {"a\\b/c", "\"a\\\\b/c\""},
      {"\n\r\t\b\f", "\"\\n\\r\\t\\b\\f\""},
      {"\x01\x1f\x0b", "\"\\u0001\\u001f\\u000b\""},
      {std::string("a\0b", 3), "\"a\\u0000b\""},
      {"\x7f", "\"\x7f\""},
  };
  for (const auto& c : kCases) EXPECT_EQ(Json(c.text), c.json) << c.text;
}

TEST(JsonStringTest, PassesValidUtf8Through) {
  for (const char* text : {"서울특별시 강남구", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
                           "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF"}) {
    EXPECT_EQ(Json(text), std::string("\"") + text + "\"") << text;
  }
}

TEST(JsonStringTest, ReplacesEachInvalidByte) {
  const struct {
    std::string text, json;
  } kCases[] = {
      {"\x80", "\"\\ufffd\""},
      {"a\xFF"
       "b",
       "\"a\\ufffdb\""},
      {"\xC0\x80", "\"\\ufffd\\ufffd\""},                        // overlong NUL
      {"\xC1\xBF", "\"\\ufffd\\ufffd\""},                        // overlong
      {"\xE0\x9F\xBF", "\"\\ufffd\\ufffd\\ufffd\""},             // overlong
      {"\xED\xA0\x80", "\"\\ufffd\\ufffd\\ufffd\""},             // a surrogate
      {"\xF0\x8F\xBF\xBF", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},  // overlong
      {"\xF4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},  // past U+10FFFF
      {"\xF5\x80", "\"\\ufffd\\ufffd\""},
      {"\xE4\xB8", "\"\\ufffd\\ufffd\""},  // cut at the end
      {"\xE4\xB8"
       "a\xEC\x84\x9C",
       "\"\\ufffd\\ufffda\xEC\x84\x9C\""},
      {"\xEC\x84\n", "\"\\ufffd\\ufffd\\n\""},
  };
  for (const auto& c : kCases) EXPECT_EQ(Json(c.text), c.json);
}

}  // namespace
}  // namespace jasokit

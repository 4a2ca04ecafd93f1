// JSON string literals from UTF-8 text, valid JSON whatever the bytes.
#include "frontend/json.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <random>
#include <string>

#include "jasokit/cp949.h"

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

// One byte at a time, as simply as may be: what the fast writer must equal.
std::string ReferenceJson(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t n = ValidUtf8Length(text, i);
      out += n ? std::string(text.substr(i, n)) : "\\ufffd";
      i += n ? n : 1;
      continue;
    }
    constexpr std::string_view kShort = "\"\\\n\r\t\b\f", kLetter = "\"\\nrtbf";
    const std::size_t e = kShort.find(static_cast<char>(c));
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\u%04x", c);
    out += e != std::string_view::npos ? std::string{'\\', kLetter[e]} : c < 0x20 ? hex : std::string(1, char(c));
    ++i;
  }
  return out + "\"";
}

// Random mixtures of every kind of byte, at every offset within the eight-byte
// steps and across the pieces long texts are written in.
TEST(JsonStringTest, EqualsTheByteAtATimeForm) {
  const std::string_view kParts[] = {"a",        "Seoul ", "\"",           "\\",       "\n",
                                     "\x01",     "\x7f",   "서",           "\xC2\x80", "\xF0\x9F\x98\x80",
                                     "\xE4\xB8", "\xFF",   "\xED\xA0\x80", {"\0", 1}};
  std::mt19937 random(19);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const std::size_t parts = round % 100 == 0 ? 3000 : random() % 24;
    for (std::size_t k = 0; k < parts; ++k) {
      text += kParts[random() % std::size(kParts)];
    }
    ASSERT_EQ(Json(text), ReferenceJson(text)) << round;
  }
}

TEST(ResultJsonTest, WritesEveryMemberInOrder) {
  Result r;
  r.status = ConversionStatus::Address;
  r.normalized = "서울 \"1\"";
  r.output = "Seoul";
  std::string out;
  cli::AppendResultJson(r, out);
  EXPECT_EQ(out,
            "{\"status\":\"Address\",\"normalized\":\"서울 "
            "\\\"1\\\"\",\"output\":\"Seoul\",\"fields\":null,\"warnings\":[]}");
  r.fields = AddressFields{"B1", "12 Teheran-ro", "Gangnam-gu", "Seoul", "06234", "Korea", "rules"};
  r.output = std::string(5000, 'x');  // past the size written in one piece
  out = "[";
  cli::AppendResultJson(r, out);
  EXPECT_EQ(out, "[{\"status\":\"Address\",\"normalized\":\"서울 \\\"1\\\"\",\"output\":\"" + r.output +
                     "\",\"fields\":{\"detail\":\"B1\",\"street\":\"12 Teheran-ro\",\"district\":\"Gangnam-gu\","
                     "\"region\":\"Seoul\",\"postcode\":\"06234\",\"old_postcode\":\"\",\"country\":\"Korea\","
                     "\"source\":\"rules\"},\"warnings\":[]}");
  // Suggestions, where there are some, come before the warnings.
  r.fields.reset();
  r.output = "x";
  r.suggestions = {{"서울특별시 강남구 개포로 516", "516 Gaepo-ro, Gangnam-gu, Seoul", "06330"}};
  r.warnings = {{"unknown-road", "no \"road\""}};
  out.clear();
  cli::AppendResultJson(r, out);
  EXPECT_EQ(
      out,
      "{\"status\":\"Address\",\"normalized\":\"서울 \\\"1\\\"\",\"output\":\"x\",\"fields\":null,"
      "\"suggestions\":[{\"address\":\"서울특별시 강남구 개포로 516\",\"english\":\"516 Gaepo-ro, Gangnam-gu, "
      "Seoul\",\"postcode\":\"06330\"}],\"warnings\":[{\"code\":\"unknown-road\",\"message\":\"no \\\"road\\\"\"}]}");
}

}  // namespace
}  // namespace jasokit

#include "address/conversion.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "jasokit/cp949.h"
#include "test-util.h"

using namespace jasokit::detail;  // the steps under test

namespace jasokit {
namespace {

using test::Cp;
using test::Repeat;
using test::Utf8;

TEST(ConvertInput, LengthLimitCountsTrimmedBytes) {
  struct {
    std::string input;
    ConversionStatus status;
  } cases[] = {
      {Cp(Repeat("가", 512)), ConversionStatus::PlainText},  // 1024 bytes
      {Cp(Repeat("가", 513)), ConversionStatus::TooLong},    // 1026 bytes
      {" \t\r\n" + Cp(Repeat("가", 512)) + "\r\n \x0b\x0c", ConversionStatus::PlainText},
      {Repeat("a", 1023) + "\r\n", ConversionStatus::PlainText},  // trailing CR LF trimmed
      // Line breaks inside count two bytes each, before they become spaces.
      {Repeat("a", 511) + "\r\n" + Repeat("a", 512), ConversionStatus::TooLong},
      {Repeat("a", 510) + "\r\n" + Repeat("a", 512), ConversionStatus::PlainText},
      {"   ", ConversionStatus::Empty},
      {"", ConversionStatus::Empty},
      {"\t\r\n\x0b\x0c ", ConversionStatus::Empty},
  };
  for (const auto& c : cases) {
    const Result r = ConvertInput(c.input);
    EXPECT_EQ(r.status, c.status) << c.input.size();
    if (c.status == ConversionStatus::TooLong || c.status == ConversionStatus::Empty) {
      EXPECT_EQ(r.normalized, "");
      EXPECT_EQ(r.output, "");
    }
  }
}

TEST(ConvertInput, FiveHundredTwelveSyllablesFillTheOutputExactly) {
  const Result r = ConvertInput(Cp(Repeat("가", 512)));
  EXPECT_EQ(r.output, "Ga" + Repeat("ga", 511));
}

TEST(ConvertInput, NormalisesWhitespace) {
  struct {
    const char* input;
    const char* normalized;
  } cases[] = {
      {"서울\r\n강남구", "서울 강남구"},
      {"서울     강남구", "서울 강남구"},
      {"  서울\r\n강남구  ", "서울 강남구"},
      {"서울\n\n강남구", "서울 강남구"},
      {"서울\r\r\n강남구", "서울\r 강남구"},  // a lone CR stays
      {"서울\t강남구", "서울\t강남구"},       // tabs stay
      {"서울 \t 강남구", "서울 \t 강남구"},
      {"가\xe3\x80\x80나", "가\xe3\x80\x80나"},  // full-width space is no whitespace
      {"\xe3\x80\x80가\xe3\x80\x80", "\xe3\x80\x80가\xe3\x80\x80"},
      {"a \r\n b", "a b"},
  };
  for (const auto& c : cases) {
    const Result r = ConvertInput(Cp(c.input));
    EXPECT_EQ(Utf8(r.normalized), c.normalized) << c.input;
  }
}

TEST(ConvertInput, PlainTextPath) {
  struct {
    const char* input;
    const char* output;
  } cases[] = {
      {"강남구 역삼동", "Gangnamgu yeoksamdong"},
      {"서울\t강남구", "Seoul\tgangnamgu"},
      {"  한국  ", "Hanguk"},
      {"가\xe3\x80\x80나", "Ga\xe3\x80\x80na"},
  };
  for (const auto& c : cases) {
    const Result r = ConvertInput(Cp(c.input));
    EXPECT_EQ(r.status, ConversionStatus::PlainText) << c.input;
    EXPECT_EQ(Utf8(r.output), c.output) << c.input;
  }
}

// Romanized as it stands, in CP949 both ways.
TEST(RomanizeInput, IsTheEngineOnCp949) {
  EXPECT_EQ(Utf8(RomanizeInput(Cp("서울 강남구"))), "Seoul gangnamgu");
  EXPECT_EQ(Utf8(RomanizeInput(Cp("합니다"), Style::Official)), "Hamnida");
  EXPECT_EQ(RomanizeInput(Cp(Repeat("가", 513))), "");  // more than 1024 bytes of result
}

// A byte after a lead byte belongs to that character: it is neither trimmed
// nor matched as part of a pattern.
TEST(ConvertInput, WhitespaceSearchIsCharacterAware) {
  EXPECT_EQ(TrimWhitespace("ab\xb0 "), "ab\xb0 ");
  EXPECT_EQ(TrimWhitespace("ab\xb0\xa1 "), "ab\xb0\xa1");
  EXPECT_EQ(TrimWhitespace(" \xb0"), "\xb0");
  EXPECT_EQ(NormalizeWhitespace("\xb0\r\nx"), "\xb0\r x");
  EXPECT_EQ(NormalizeWhitespace("\xb0  x"), "\xb0  x");
  EXPECT_EQ(NormalizeWhitespace("\xb0   x"), "\xb0  x");
}

// Texts are looked at eight bytes at a time: what falls on either side of a
// step counts as well as what falls within one.
TEST(ConvertInput, WhitespaceRunsAcrossEightByteSteps) {
  const struct {
    const char* text;
    const char* normalized;
  } kCases[] = {
      {"abcdefg  hijklmno p", "abcdefg hijklmno p"},
      {"abcdefgh ijklmno\np", "abcdefgh ijklmno p"},
      {"abcdefghijklmno\r\nx", "abcdefghijklmno x"},
      {"abc defgh ijk lmn", "abc defgh ijk lmn"},
  };
  for (const auto& c : kCases) EXPECT_EQ(NormalizeWhitespace(c.text), c.normalized) << c.text;
  EXPECT_EQ(TrimWhitespace("abcdefgh\xb0  "), "abcdefgh\xb0 ");
}

// The CP949 programs print it too: every character of it has a CP949 form.
TEST(ConvertInput, RefusalMessageHasACp949Form) {
  std::string cp949;
  ASSERT_TRUE(Utf8ToCp949(kRefusalMessageUtf8, cp949));
  EXPECT_EQ(Utf8(cp949), "입력 길이가 1000 글자를 초과하여 처리할 수 없습니다.\r\n다시 한번 확인해 주세요.");
}

// A worker thread with a workspace of its own gives what the calling
// thread's gives, and leaves nothing of one text in the next.
TEST(Workspace, WorkerOfItsOwnAgreesWithTheThreads) {
  const std::string texts[] = {"서울특별시 강남구 테헤란로 152, 3층", "경상남도 함안군 가야읍 말산리 123",
                               "한국어 로마자 표기 😀", "", "신라"};
  for (const Style style : {Style::Classic, Style::Official}) {
    Options options;
    options.style = style;
    std::string expected, romanized;
    for (const std::string& t : texts) {
      AppendConvertedUtf8(t, options, expected);
      romanized += Romanize(t, style);
    }
    std::string got, gotRomanized;
    std::thread([&] {
      Workspace workspace;
      for (int pass = 0; pass < 2; ++pass) {
        got.clear();
        gotRomanized.clear();
        for (const std::string& t : texts) {
          AppendConvertedUtf8(t, options, got, workspace);
          AppendRomanizedUtf8(t, style, gotRomanized, workspace);
        }
      }
    }).join();
    EXPECT_EQ(got, expected);
    EXPECT_EQ(gotRomanized, romanized);
  }
}

}  // namespace
}  // namespace jasokit

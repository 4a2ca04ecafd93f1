// The UTF-8 operations lose nothing: a character with no CP949 form comes
// through exactly where a CP949 character that passes through would, and
// counts for two bytes like one. Checked by setting such a stand-in (a Hanja,
// which no table and no rule knows) in its place and converting the CP949
// text, on fixed examples and on many generated lines.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "address/conversion.h"
#include "jasokit/convert.h"
#include "romanize/cp949.h"
#include "tables/cp949_tables.h"
#include "test-util.h"

using namespace jasokit::detail;  // the steps under test

namespace jasokit {
namespace {

using test::Cp;
using test::Repeat;

constexpr const char* kFffd = "\xEF\xBF\xBD";

// Characters with no CP949 form, of every UTF-8 length.
const std::vector<std::string> kOutside = {"\xC3\xA9",           // é
                                           "\xC2\xA0",           // no-break space
                                           "\xE2\x82\xA9",       // ₩ (CP949 has only the full-width one)
                                           "\xEF\xBF\xBD",       // U+FFFD itself
                                           "\xEE\x80\x80",       // U+E000, private use
                                           "\xF0\x9F\x98\x80",   // 😀
                                           "\xF0\xA0\x80\x80"};  // U+20000

bool HasCp949Form(const std::string& utf8) {
  std::string ignored;
  return Utf8ToCp949(utf8, ignored);
}

// The k-th stand-in: a Hanja of CP949 (row 0xCA), a character that every
// rule passes through.
std::string StandIn(std::size_t k) { return std::string{static_cast<char>(0xCA), static_cast<char>(0xA1 + k)}; }

// Converts utf8 the long way round: every character with no CP949 form
// replaced by a stand-in, the CP949 text converted, the stand-ins put back.
Result ThroughStandIns(std::string_view utf8, const Options& options = {}) {
  std::string cp949;
  std::vector<std::string> originals;  // stand-in k -> the UTF-8 character
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t len = 1;
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b >= 0xF0)
      len = 4;
    else if (b >= 0xE0)
      len = 3;
    else if (b >= 0xC0)
      len = 2;
    const std::string ch(utf8.substr(i, len));
    i += len;
    std::string out;
    if (Utf8ToCp949(ch, out)) {
      cp949 += out;
      continue;
    }
    std::size_t k = 0;
    while (k < originals.size() && originals[k] != ch) ++k;
    if (k == originals.size()) originals.push_back(ch);
    cp949 += StandIn(k);
  }
  const Result r = ConvertInput(cp949, options);
  auto back = [&originals](const std::string& text) {
    std::string utf8Text;
    Cp949ToUtf8(text, utf8Text);
    for (std::size_t k = 0; k < originals.size(); ++k) {
      std::string standIn;
      Cp949ToUtf8(StandIn(k), standIn);
      for (std::size_t at = utf8Text.find(standIn); at != std::string::npos; at = utf8Text.find(standIn, at)) {
        utf8Text.replace(at, standIn.size(), originals[k]);
        at += originals[k].size();
      }
    }
    return utf8Text;
  };
  return Result{r.status, back(r.normalized), back(r.output), std::nullopt};
}

void ExpectSameAsStandIns(const std::string& utf8, const Options& options = {}) {
  const Result direct = Convert(utf8, options);
  const Result expected = ThroughStandIns(utf8, options);
  EXPECT_EQ(direct.status, expected.status) << utf8;
  EXPECT_EQ(direct.normalized, expected.normalized) << utf8;
  EXPECT_EQ(direct.output, expected.output) << utf8;
}

TEST(Utf8Convert, TheTestCharactersHaveNoCp949Form) {
  for (const std::string& c : kOutside) EXPECT_FALSE(HasCp949Form(c)) << c;
  for (std::size_t k = 0; k < 8; ++k) {
    std::string utf8;
    ASSERT_TRUE(Cp949ToUtf8(StandIn(k), utf8));
  }
}

TEST(Utf8Convert, CharactersOutsideCp949ComeThrough) {
  struct {
    const char* utf8;
    const char* output;
  } const kCases[] = {
      {"café 한글 😀", "Café hangeul 😀"},
      {"😀", "😀"},
      {"é", "é"},  // only an ASCII letter is upper-cased
      {"서울 강남구 역삼동 😀", "😀 Yeoksam-dong Gangnam-gu Seoul S.KOREA "},
      {"서울 강남구 café아파트", "Caf\xC3\xA9 APT. Gangnam-gu Seoul S.KOREA "},
      {"서울 😀동", "😀-dong Seoul S.KOREA "},
      {"한₩국", "Han₩guk"},
      {"\xC2\xA0서울", "\xC2\xA0seoul"},  // a no-break space is no space: no trimming, no address
  };
  for (const auto& c : kCases) {
    const Result r = Convert(c.utf8);
    EXPECT_EQ(r.output, c.output) << c.utf8;
    ExpectSameAsStandIns(c.utf8);
  }
}

TEST(Utf8Convert, TextWithACp949FormGivesTheCp949Result) {
  for (const char* utf8 : {"서울특별시 강남구 역삼동 123-45", "한국어 로마자 표기", "  서울\r\n강남구  ", "ㅋㅋ",
                           "가1나", "경기도 성남시 분당구 정자동 1 현대아파트 101동 1004호"}) {
    const Result cp = ConvertInput(Cp(utf8));
    const Result r = Convert(utf8);
    EXPECT_EQ(r.status, cp.status);
    EXPECT_EQ(r.normalized, test::Utf8(cp.normalized));
    EXPECT_EQ(r.output, test::Utf8(cp.output));
  }
}

// A character outside CP949 counts for two bytes at every limit.
TEST(Utf8Convert, OutsideCharactersCountTwoBytesAtTheLimits) {
  const std::string emoji = "\xF0\x9F\x98\x80";
  EXPECT_EQ(Convert(Repeat(emoji, 512)).status, ConversionStatus::PlainText);
  EXPECT_EQ(Convert(Repeat(emoji, 512)).output, Repeat(emoji, 512));
  EXPECT_EQ(Convert(Repeat(emoji, 513)).status, ConversionStatus::TooLong);
  EXPECT_EQ(Convert("a" + Repeat("가", 511) + emoji).status, ConversionStatus::TooLong);  // 1025 bytes
  EXPECT_EQ(Convert(Repeat("가", 511) + emoji).status, ConversionStatus::PlainText);      // 1024
  EXPECT_EQ(Convert("  " + Repeat("é", 512) + " \n").status, ConversionStatus::PlainText);

  EXPECT_EQ(Convert(Repeat("가", 511) + emoji).output, Convert(Repeat("가", 511)).output + emoji);

  // The romanized result may take 1024 bytes, no more: the emoji takes two.
  bool someFit = false, someDoNot = false;
  for (std::size_t n = 250; n < 262; ++n) {
    const std::string text = Repeat("뷁", n) + emoji;  // bwek: four letters each
    ExpectSameAsStandIns(text);
    (Convert(text).output.empty() ? someDoNot : someFit) = true;
  }
  EXPECT_TRUE(someFit && someDoNot);

  // An address cut at 1024 bytes is cut before a whole character.
  for (std::size_t pad = 0; pad < 4; ++pad) {
    std::string text = "서울 " + std::string(pad, 'a');
    while (text.size() < 900) text += " " + emoji + "빌딩";
    ExpectSameAsStandIns(text);
    const Result r = Convert(text);
    ASSERT_EQ(r.status, ConversionStatus::Address);
    EXPECT_TRUE(detail::IsValidUtf8(r.output));
  }
}

TEST(Utf8Convert, InvalidUtf8BecomesReplacementCharacters) {
  const Result r = Convert("a\xFF b\xE4\xB8");
  EXPECT_TRUE(r.replacedInvalid);
  EXPECT_EQ(r.output, std::string("A") + kFffd + " b" + kFffd);
  EXPECT_FALSE(Convert("abc").replacedInvalid);
  // The batch form appends the same output, and nothing for Empty.
  std::string out = "x";
  bool invalid = false;
  EXPECT_EQ(AppendConverted("a\xFF b\xE4\xB8", {}, out, &invalid), ConversionStatus::PlainText);
  EXPECT_TRUE(invalid);
  EXPECT_EQ(AppendConverted(" \t", {}, out, &invalid), ConversionStatus::Empty);
  EXPECT_FALSE(invalid);
  EXPECT_EQ(out, "x" + r.output);
  EXPECT_EQ(Romanize("\xFF", Style::Classic, &invalid), kFffd);
  EXPECT_TRUE(invalid);
  // The text ends at a NUL byte, and the result says so.
  EXPECT_EQ(Convert(std::string("한국\0\xFF", 8)).output, "Hanguk");
  for (const std::string& text :
       {std::string("서울특별시 강남구\0 테헤란로 152", 43), std::string("\0한국", 7), std::string(3000, 'x') + '\0'}) {
    const Result cut = Convert(text, {Style::Official, ""});
    ASSERT_EQ(cut.warnings.size(), 1u) << cut.output;
    EXPECT_EQ(cut.warnings[0].code, "text-cut-at-nul");
  }
  EXPECT_TRUE(Convert("서울특별시 강남구 테헤란로 152", {Style::Official, ""}).warnings.empty());
}

TEST(Utf8Romanize, RomanizesAsItStands) {
  EXPECT_EQ(Romanize("서울 강남구"), "Seoul gangnamgu");  // never an address
  EXPECT_EQ(Romanize(" 한국"), " hanguk");                // nothing trimmed
  EXPECT_EQ(Romanize("합니다 😀"), "Hapnida 😀");
  EXPECT_EQ(Romanize("합니다", Style::Official), "Hamnida");
  EXPECT_EQ(Romanize(""), "");
  EXPECT_EQ(Romanize(Repeat("가", 512)).size(), 1024u);
  EXPECT_EQ(Romanize(Repeat("가", 513)), "");                 // a result of more than 1024 bytes
  EXPECT_EQ(Romanize(Repeat("ㄱ", 512)), Repeat("ㄱ", 512));  // 1024 bytes in CP949
  EXPECT_EQ(Romanize(Repeat("a", 1025)), "");                 // more units than the engine takes
}

// The private codes stand in no CP949 character, and CP949 decodes to no
// private-use unit the engine gives them.
TEST(PrivateCodes, AreUnassignedInCp949) {
  for (unsigned k = 0; k < kPrivateCodeCount; ++k) {
    const unsigned lead = kPrivateLeadFirst + k / kPrivateTrailCount;
    const unsigned trail = kPrivateTrailFirst + k % kPrivateTrailCount;
    ASSERT_EQ(DecodeCp949Pair(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)), 0) << k;
    ASSERT_EQ(PrivateCode(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)), static_cast<int>(k));
    char buf[2];
    bool mapped = true;
    EncodeCp949Unit(static_cast<char16_t>(kPrivateUnitFirst + k), buf, &mapped);
    ASSERT_FALSE(mapped) << k;
  }
  EXPECT_EQ(PrivateCode(0xC7, 0xA1), -1);  // a KS X 1001 pair
  EXPECT_EQ(PrivateCode(0xC6, 0x81), -1);
}

TEST(PrivateCodes, RoundTripEveryCharacter) {
  PrivateText text;
  std::string utf8;
  for (const std::string& c : kOutside) utf8 += c + "가";
  EXPECT_TRUE(Utf8ToPrivate(utf8, text));
  EXPECT_EQ(text.characters.size(), kOutside.size());
  EXPECT_EQ(text.bytes.size(), 4 * kOutside.size());
  std::string back;
  PrivateToUtf8(text.bytes, text.characters, back);
  EXPECT_EQ(back, utf8);
  // A character seen twice keeps one code.
  EXPECT_TRUE(Utf8ToPrivate("😀😀é😀", text));
  EXPECT_EQ(text.characters.size(), 2u);
}

// Generated lines mixing Hangul, ASCII, whitespace, address words and
// characters with no CP949 form, in both styles.
TEST(Utf8Convert, GeneratedLinesMatchTheirStandIns) {
  std::mt19937 rng(20261208);
  auto below = [&rng](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  const std::vector<std::string> pieces = {
      "서울", "서울특별시", "경기도",  "강남구", "역삼동", "1동", "가", "리",   "읍", "면",       "아파트",
      "층",   "사서함",     "123-45",  "a",      "Z",      "-",   ",",  "(",    ")",  "테헤란로", "152",
      "지하", "호",         "(06236)", "번길",   "가나",   "ㄱ",  "\t", "\r\n", "\n", "  "};
  for (int n = 0; n < 3000; ++n) {
    std::string text;
    const std::size_t count = below(n % 50 == 0 ? 400 : 12);
    for (std::size_t i = 0; i < count; ++i) {
      switch (below(4)) {
        case 0: text += kOutside[below(kOutside.size())]; break;
        case 1: text += " "; break;
        default: text += pieces[below(pieces.size())]; break;
      }
    }
    SCOPED_TRACE(text);
    ExpectSameAsStandIns(text);
    ExpectSameAsStandIns(text, Options{Style::Official, ""});
    if (HasFatalFailure() || HasFailure()) break;
  }
}

}  // namespace
}  // namespace jasokit

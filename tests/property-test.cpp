// Invariants checked over many generated inputs (a fixed-seed generator, so
// every run sees the same texts) and over every short byte sequence.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <string_view>

#include "address/conversion.h"
#include "romanize/cp949.h"
#include "romanize/hangul_romanizer.h"
#include "test-util.h"

using namespace jasokit::detail;  // the steps under test

namespace jasokit {
namespace {

using test::Cp;

constexpr std::uint32_t kSeed = 20030101;

bool IsSpaceByte(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
bool IsLetter(char c) { return IsLower(c) || IsUpper(c); }

bool IsSyllablePair(std::string_view text, std::size_t i) {
  const char16_t u = DecodeCp949Pair(static_cast<unsigned char>(text[i]), static_cast<unsigned char>(text[i + 1]));
  return u >= kFirstSyllable && u <= kLastSyllable;
}

// Texts mixing everything the converter meets: syllables, letters of the
// compatibility block, ASCII, whitespace of every kind, double-byte symbols,
// bytes that are not CP949, and the words that make a text an address.
class TextGenerator {
 public:
  explicit TextGenerator(std::uint32_t seed) : m_rng(seed) {}

  std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(m_rng() % n); }

  std::string Text(std::size_t maxBytes) {
    std::string out;
    if (Below(40) == 0) {  // whitespace alone
      static constexpr const char* kBlank[] = {" ", "\t", "\r\n", "\n", "\x0b\x0c"};
      for (std::uint32_t n = Below(40); n > 0; --n) out += kBlank[Below(std::size(kBlank))];
      return out;
    }
    if (Below(4) == 0) out += Cp(kFirstWords[Below(std::size(kFirstWords))]) + ' ';
    const std::size_t target = Below(static_cast<std::uint32_t>(maxBytes + 1));
    while (out.size() < target) AppendPiece(out);
    if (out.size() > maxBytes) out.resize(maxBytes);
    return out;
  }

  // Hangul syllables only, one to max of them.
  std::string Word(std::size_t max) {
    std::string out;
    const std::size_t n = 1 + Below(static_cast<std::uint32_t>(max));
    for (std::size_t i = 0; i < n; ++i) AppendUnit(out, kFirstSyllable + Below(11172));
    return out;
  }

 private:
  static constexpr const char* kFirstWords[] = {"서울",   "서울특별시", "부산광역시", "대구시",
                                                "경기도", "경남",       "제주도",     "강원"};
  static constexpr const char* kWords[] = {"시", "구",     "군",     "읍", "면",       "동",   "가",
                                           "리", "사서함", "아파트", "층", "산업대학", "(주)", "123-45"};

  void AppendUnit(std::string& out, char32_t unit) {
    char buf[2];
    out.append(buf, EncodeCp949Unit(static_cast<char16_t>(unit), buf));
  }

  void AppendPiece(std::string& out) {
    static constexpr char kSpaces[] = {' ', ' ', ' ', '\t', '\n', '\r', '\x0b', '\x0c'};
    switch (Below(12)) {
      case 0:
      case 1:
      case 2:
      case 3: AppendUnit(out, kFirstSyllable + Below(11172)); break;
      case 4: AppendUnit(out, 0x3131 + Below(0x33)); break;         // compatibility letters
      case 5: out += static_cast<char>(0x21 + Below(0x5E)); break;  // printable ASCII
      case 6:
      case 7: out += kSpaces[Below(std::size(kSpaces))]; break;
      case 8: out += Below(2) ? "\r\n" : "  "; break;
      case 9: out += Cp(kWords[Below(std::size(kWords))]); break;
      case 10: {  // double-byte symbols and Hanja
        static constexpr char32_t kUnits[] = {0x3000, 0x6F22, 0x5B57, 0x00B7, 0x203B, 0x3164, 0xFF21};
        AppendUnit(out, kUnits[Below(std::size(kUnits))]);
        break;
      }
      default: {  // not CP949: a stray byte, a lone lead, an unmapped pair
        static constexpr const char* kBad[] = {"\x80", "\xff", "\xb0", "\xc9\xa1", "\xa1\x20"};
        out += kBad[Below(std::size(kBad))];
        break;
      }
    }
  }

  std::mt19937 m_rng;
};

std::string Romanized(const std::string& text) {
  HangulRomanizer engine;
  engine.Romanize(text.c_str());
  std::string out;
  engine.GetResult(out);
  return out;
}

// What the engine sees of a text: the codec's reading of it, invalid bytes
// already replaced.
std::string Canonical(std::string_view text) {
  std::u16string units;
  DecodeCp949(text, units);
  std::string out;
  EncodeCp949(units, out);
  return out;
}

// The characters of a CP949 text other than ASCII letters and Hangul
// syllables: what must come through romanization unchanged.
std::string Skeleton(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t len = Cp949CharLength(text, i);
    if (len == 2 ? !IsSyllablePair(text, i) : !IsLetter(text[i])) out.append(text.substr(i, len));
    i += len;
  }
  return out;
}

TEST(RomanizeProperty, OutputIsAsciiExceptPassedThroughCharacters) {
  TextGenerator gen(kSeed);
  for (int n = 0; n < 4000; ++n) {
    const std::string text = gen.Text(n % 4 ? 120 : 1400);
    SCOPED_TRACE(test::Utf8(text));
    const std::string out = Romanized(text);
    ASSERT_LE(out.size(), kMaxResultBytes);
    if (out.empty()) continue;  // over an area limit; checked exactly below
    const std::string canonical = Canonical(text);
    EXPECT_EQ(Skeleton(out), Skeleton(canonical));

    std::size_t syllables = 0, inLetters = 0, inUpper = 0, outLetters = 0, outUpper = 0;
    for (std::size_t i = 0; i < canonical.size(); i += Cp949CharLength(canonical, i)) {
      if (Cp949CharLength(canonical, i) == 2) {
        syllables += IsSyllablePair(canonical, i);
      } else {
        inLetters += IsLetter(canonical[i]);
        inUpper += IsUpper(canonical[i]);
      }
    }
    for (std::size_t i = 0; i < out.size(); i += Cp949CharLength(out, i)) {
      if (Cp949CharLength(out, i) == 2) {
        ASSERT_FALSE(IsSyllablePair(out, i)) << "a syllable came through at " << i;
      } else {
        outLetters += IsLetter(out[i]);
        outUpper += IsUpper(out[i]);
      }
    }
    EXPECT_GE(outLetters, inLetters + syllables);  // every syllable gives letters
    EXPECT_LE(outUpper, inUpper + 1);              // only the first letter is raised
    EXPECT_FALSE(IsLower(out[0]));
  }
}

// The pair rule works between neighbouring syllables only, so a space cuts a
// text into parts romanized on their own; the joined result is delivered
// whole up to 1024 bytes and not at all beyond.
TEST(RomanizeProperty, SpaceSeparatedPartsRomanizeIndependently) {
  TextGenerator gen(kSeed + 1);
  int overflows = 0;
  for (int n = 0; n < 3000; ++n) {
    const std::string a = n % 3 ? gen.Word(8) : gen.Text(700);
    const std::string b = n % 2 ? gen.Word(8) : gen.Text(700);
    if (a.empty() || b.empty()) continue;
    const std::string ra = Romanized(a);
    std::string rb = Romanized(b);
    if (ra.empty() || rb.empty()) continue;
    SCOPED_TRACE(test::Utf8(a + " " + b));
    // Alone, b's first letter was raised; inside the joined text it is not.
    if (IsUpper(rb[0]) && !IsUpper(Canonical(b)[0])) rb[0] = static_cast<char>(rb[0] - 'A' + 'a');
    std::u16string units;
    DecodeCp949(a + " " + b, units);
    std::string expected = ra + " " + rb;
    if (expected.size() > kMaxResultBytes || units.size() > kMaxUnits) {
      expected.clear();
      ++overflows;
    }
    ASSERT_EQ(Romanized(a + " " + b), expected);
  }
  EXPECT_GT(overflows, 10);  // the generator does reach the limits
}

// TrimWhitespace keeps a middle part with no whitespace at either end and
// drops only whitespace around it.
void ExpectTrimmed(std::string_view input, std::string_view trimmed) {
  const std::size_t start = static_cast<std::size_t>(trimmed.data() - input.data());
  ASSERT_LE(start + trimmed.size(), input.size());
  for (std::size_t i = 0; i < start; ++i) ASSERT_TRUE(IsSpaceByte(input[i]));
  for (std::size_t i = start + trimmed.size(); i < input.size(); ++i) ASSERT_TRUE(IsSpaceByte(input[i]));
  if (trimmed.empty()) return;
  ASSERT_FALSE(IsSpaceByte(trimmed.front()));
  std::size_t last = 0;
  for (std::size_t i = 0; i < trimmed.size(); i += Cp949CharLength(trimmed, i)) last = i;
  ASSERT_FALSE(IsSpaceByte(trimmed[last]));
}

// Written forms of the provinces and metropolitan cities: a text is an
// address exactly when its first space-separated word is one of them.
constexpr const char* kRegionWords[] = {
    "경기",   "경기도",     "충북",       "충청북도",   "경북",       "경상북도",   "전남",       "전라남도",
    "강원",   "강원도",     "제주",       "제주도",     "충남",       "충청남도",   "전북",       "전라북도",
    "경남",   "경상남도",   "서울",       "서울특별시", "서울시",     "부산",       "부산광역시", "부산시",
    "광주",   "광주광역시", "광주시",     "인천",       "인천광역시", "인천시",     "울산",       "울산광역시",
    "울산시", "대전",       "대전광역시", "대전시",     "대구",       "대구광역시", "대구시"};

bool StartsWithRegionWord(std::string_view text) {
  const std::string_view first = text.substr(0, text.find(' '));
  for (const char* word : kRegionWords) {
    if (first == Cp(word)) return true;
  }
  return false;
}

// Every status carries the texts it promises, and the output never passes
// 1024 bytes.
void ExpectConsistent(std::string_view input, const Result& r) {
  input = input.substr(0, input.find('\0'));  // the text ends at a NUL byte
  const std::string_view trimmed = TrimWhitespace(input);
  ExpectTrimmed(input, trimmed);
  ASSERT_LE(r.output.size(), kMaxInputBytes);
  switch (r.status) {
    case ConversionStatus::TooLong:
      ASSERT_GT(trimmed.size(), kMaxInputBytes);
      ASSERT_EQ(r.normalized, "");
      ASSERT_EQ(r.output, "");
      return;
    case ConversionStatus::Empty:
      ASSERT_TRUE(trimmed.empty());
      ASSERT_EQ(r.normalized, "");
      ASSERT_EQ(r.output, "");
      return;
    case ConversionStatus::Address:
      ASSERT_TRUE(StartsWithRegionWord(r.normalized));
      ASSERT_FALSE(r.output.empty());
      // Whole unless cut at the limit, and then only at a character boundary.
      if (r.output.size() + 1 < kMaxInputBytes) {
        ASSERT_TRUE(r.output.size() >= 8 && r.output.compare(r.output.size() - 8, 8, "S.KOREA ") == 0) << r.output;
      }
      break;
    case ConversionStatus::PlainText:
      ASSERT_FALSE(StartsWithRegionWord(r.normalized));
      ASSERT_EQ(r.output, Romanized(r.normalized));
      break;
  }
  ASSERT_FALSE(trimmed.empty());
  ASSERT_LE(trimmed.size(), kMaxInputBytes);
  ASSERT_EQ(r.normalized, NormalizeWhitespace(trimmed));
  ASSERT_LE(r.normalized.size(), trimmed.size());
}

TEST(ConvertInputProperty, StatusMatchesTextsOnGeneratedInput) {
  TextGenerator gen(kSeed + 2);
  int seen[4] = {};
  for (int n = 0; n < 4000; ++n) {
    const std::string text = gen.Text(n % 4 ? 200 : 1300);
    SCOPED_TRACE(test::Utf8(text));
    const Result r = ConvertInput(text);
    ExpectConsistent(text, r);
    ++seen[static_cast<int>(r.status)];
    if (r.status == ConversionStatus::TooLong || r.status == ConversionStatus::Empty) continue;
    // No line break and no double space survives, at any character boundary.
    const std::string& norm = r.normalized;
    for (std::size_t i = 0; i < norm.size(); i += Cp949CharLength(norm, i)) {
      ASSERT_NE(norm[i], '\n') << i;
      ASSERT_FALSE(norm[i] == ' ' && i + 1 < norm.size() && norm[i + 1] == ' ') << i;
    }
    // The normalised text is a fixed point of the whole request.
    const Result again = ConvertInput(norm);
    ASSERT_EQ(again.status, r.status);
    ASSERT_EQ(again.normalized, norm);
    ASSERT_EQ(again.output, r.output);
  }
  EXPECT_GT(seen[static_cast<int>(ConversionStatus::TooLong)], 100);
  EXPECT_GT(seen[static_cast<int>(ConversionStatus::Empty)], 10);
  EXPECT_GT(seen[static_cast<int>(ConversionStatus::PlainText)], 1000);
  EXPECT_GT(seen[static_cast<int>(ConversionStatus::Address)], 500);
}

TEST(ConvertInputProperty, EveryInputOfUpToTwoBytes) {
  std::string text;
  for (unsigned a = 0; a < 256; ++a) {
    text.assign(1, static_cast<char>(a));
    ExpectConsistent(text, ConvertInput(text));
    for (unsigned b = 0; b < 256; ++b) {
      text.assign({static_cast<char>(a), static_cast<char>(b)});
      const Result r = ConvertInput(text);
      ExpectConsistent(text, r);
      if (HasFatalFailure()) FAIL() << std::hex << a << ' ' << b;
    }
  }
}

TEST(ConvertInputProperty, OutputNeverPassesTheLimit) {
  // The longest romanizations per input byte: syllables with heavy letters,
  // filling the input to its limit in every alignment.
  TextGenerator gen(kSeed + 3);
  for (const char* unit : {"꺆", "뛹", "쀍", "쨃", "ㅃ", "漢"}) {
    const std::string one = Cp(unit);
    for (std::size_t pad = 0; pad < 4; ++pad) {
      std::string text = std::string(pad, 'a') + test::Repeat(one, (kMaxInputBytes - pad) / one.size());
      const Result r = ConvertInput(text);
      ExpectConsistent(text, r);
      const Result withPrefix = ConvertInput(Cp("서울 ") + text.substr(0, 1000));
      ExpectConsistent(Cp("서울 ") + text.substr(0, 1000), withPrefix);
    }
  }
  for (int n = 0; n < 500; ++n) {
    const std::string text = gen.Word(512);
    ExpectConsistent(text, ConvertInput(text));
  }
}

TEST(Cp949Property, DecodeThenEncodeNeverGrowsAndValidTextSurvives) {
  std::mt19937 rng(kSeed + 4);
  std::string text;
  std::u16string units;
  std::string back, utf8, viaUtf8;
  for (int n = 0; n < 20000; ++n) {
    text.resize(rng() % 64);
    // Half the texts from the double-byte range only, where most pairs are valid.
    const bool dense = n % 2;
    for (char& c : text) c = static_cast<char>(dense ? 0x81 + rng() % 0x7E : rng() % 256);
    DecodeCp949(text, units);
    back.clear();
    const bool mapped = EncodeCp949(units, back);
    ASSERT_LE(units.size(), text.size());
    ASSERT_LE(back.size(), text.size());
    const bool valid = units.find(kReplacementChar) == std::u16string::npos;
    ASSERT_EQ(mapped, valid);
    if (valid) {
      ASSERT_EQ(back, text);
    }
    utf8.clear();
    viaUtf8.clear();
    ASSERT_EQ(Cp949ToUtf8(text, utf8), valid);
    Utf8ToCp949(utf8, viaUtf8);
    ASSERT_EQ(viaUtf8, back);
  }
}

}  // namespace
}  // namespace jasokit

// Input texts streamed in pieces: the outcome never depends on how the text
// was cut, and equals converting it whole.
#include "frontend/input.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "address/conversion.h"
#include "fake-io.h"
#include "frontend/codec.h"
#include "romanize/cp949.h"
#include "test-util.h"

namespace jasokit::cli {
namespace {

using test::Cp;
using test::Repeat;

// Chunk sizes to cut a text of size bytes into: every size up to 64, then
// the sizes around the limits, and the whole.
std::vector<std::size_t> ChunkSizes(std::size_t size) {
  std::vector<std::size_t> sizes;
  for (std::size_t n = 1; n <= 64; ++n) sizes.push_back(n);
  for (std::size_t n : {127, 1023, 1024, 1025, 2047, 2048, 2049}) sizes.push_back(n);
  sizes.push_back(size + 1);
  return sizes;
}

template <typename Line>
void Feed(Line& line, std::string_view text, std::size_t chunk) {
  line.Start(true);
  for (std::size_t at = 0; at < text.size(); at += chunk) line.Append(text.substr(at, chunk));
}

// Lines built from runs of every kind the rules treat apart: whitespace runs
// of every length around the limits, words, NULs, CRs, lead bytes with a
// space or nothing after them, invalid bytes, and (in UTF-8) characters with
// no CP949 form.
class LineGenerator {
 public:
  LineGenerator(std::uint32_t seed, bool cp949) : m_rng(seed), m_cp949(cp949) {}

  std::string Line() {
    std::string out;
    if (Below(3) == 0) {  // an address, to reach the address converter too
      AppendSpaces(out, Below(3));
      out += m_cp949 ? Cp("서울 강남구 역삼동 ") : "서울 강남구 역삼동 ";
    }
    for (std::uint32_t parts = 1 + Below(5); parts > 0; --parts) {
      if (Below(2)) {
        AppendSpaces(out, RunLength());
      } else {
        AppendWords(out, RunLength());
      }
    }
    if (Below(8) == 0) out += m_cp949 ? "\xb0" : "\xe2\x82";  // cut short at the end
    return out;
  }

 private:
  std::uint32_t Below(std::uint32_t n) { return static_cast<std::uint32_t>(m_rng() % n); }

  // Short runs, and runs that bring a text to either side of a limit.
  std::size_t RunLength() {
    static constexpr std::size_t kNear[] = {kMaxInputBytes, 2 * kMaxInputBytes};
    switch (Below(4)) {
      case 0: return Below(4);
      case 1: return Below(40);
      case 2: return kNear[Below(2)] - 3 + Below(7);
      default: return Below(3000);
    }
  }

  void AppendSpaces(std::string& out, std::size_t n) {
    static constexpr char kSpaces[] = {' ', ' ', '\t', '\r', '\x0b', '\x0c', '\n'};
    for (std::size_t i = 0; i < n; ++i) out += kSpaces[Below(std::size(kSpaces))];
  }

  void AppendWords(std::string& out, std::size_t n) {
    static constexpr const char* kCp949[] = {"a", "Z", "가", "한국", "서울 ", "\xb0 ", "\x80", "\xff", "\r\n", "  "};
    static constexpr const char* kUtf8[] = {
        "a", "Z", "가", "한국", "서울 ", "\xc3\xa9", "\xf0\x9f\x98\x80", "\xff", "\xc3 ", "\xed\xa0\x80", "\r\n", "  "};
    const std::size_t target = out.size() + n;
    while (out.size() < target) {
      if (Below(200) == 0) {
        out += '\0';
      } else if (m_cp949) {
        const char* piece = kCp949[Below(std::size(kCp949))];
        out += piece[0] & 0x80 ? std::string(piece) : Cp(piece);
      } else {
        out += kUtf8[Below(std::size(kUtf8))];
      }
    }
  }

  std::mt19937 m_rng;
  bool m_cp949;
};

// A few lines of every shape at the limits, besides the generated ones.
std::vector<std::string> EdgeLines(bool cp949) {
  const std::string syllable = cp949 ? Cp("가") : "가";
  const std::size_t limit = cp949 ? kMaxInputBytes : 2 * kMaxInputBytes;
  std::vector<std::string> lines = {
      "",
      " ",
      std::string(1, '\0'),
      std::string("a\0", 2) + std::string(3000, 'b'),
      std::string(100000, ' ') + syllable + std::string(100000, '\t'),
      "a" + std::string(3000, ' ') + "b",
      std::string("\xb0 ", 2) + std::string(2000, ' '),
      std::string(2000, ' ') + "\xb0",
  };
  if (!cp949) {
    // 2048 UTF-8 bytes that count 1024 in CP949 are accepted; an invalid byte
    // counts two.
    for (const char* c : {"\xf0\x9f\x98\x80", "\xff", "\xc3\xa9"}) {
      for (std::size_t n : {511, 512, 513}) lines.push_back(" " + Repeat(c, n) + " ");
    }
  }
  for (std::size_t n = limit - 3; n <= limit + 3; ++n) {
    lines.push_back(std::string(n, 'x'));
    lines.push_back(" " + std::string(n, 'x') + " ");
    lines.push_back("a" + std::string(n - 2, ' ') + "b");
    lines.push_back(std::string(n, 'x') + std::string("\0yyyy", 5));
    lines.push_back(Repeat(syllable, n / syllable.size()) + std::string(n % syllable.size(), 'a'));
  }
  return lines;
}

void ExpectSameFields(const std::optional<AddressFields>& a, const std::optional<AddressFields>& b) {
  ASSERT_EQ(a.has_value(), b.has_value());
  if (!a) return;
  EXPECT_EQ(a->detail, b->detail);
  EXPECT_EQ(a->street, b->street);
  EXPECT_EQ(a->district, b->district);
  EXPECT_EQ(a->region, b->region);
  EXPECT_EQ(a->postcode, b->postcode);
  EXPECT_EQ(a->country, b->country);
}

// What a text fed to a TrimmedText converts to, as the commands convert it:
// refused when it ran past the limit, else converted whole.
Result ConvertTrimmed(const TrimmedText& text, const Options& options) {
  if (text.overLong()) {
    Result refused;
    refused.status = ConversionStatus::TooLong;
    return refused;
  }
  return ConvertInput(text.text(), options);
}

Result ConvertTrimmedUtf8(const TrimmedText& text, const Options& options, bool* invalidUtf8) {
  if (text.overLong()) {
    Result refused;
    refused.status = ConversionStatus::TooLong;
    *invalidUtf8 = !text.validUtf8();
    return refused;
  }
  Options asked = options;
  asked.withFields = true;
  Result r = Convert(text.text(), asked);
  *invalidUtf8 = r.replacedInvalid;
  return r;
}

TEST(TrimmedTextProperty, Cp949StreamedEqualsWhole) {
  LineGenerator gen(20030101, true);
  std::vector<std::string> lines = EdgeLines(true);
  for (int n = 0; n < 300; ++n) lines.push_back(gen.Line());
  int seen[4] = {};
  TrimmedText text(true);
  for (const std::string& line : lines) {
    Options options;
    if (line.size() % 2) options.style = Style::Official;
    const Result whole = ConvertInput(line, options);
    ++seen[static_cast<int>(whole.status)];
    for (std::size_t chunk : ChunkSizes(line.size())) {
      Feed(text, line, chunk);
      const Result streamed = ConvertTrimmed(text, options);
      ASSERT_EQ(streamed.status, whole.status) << line.size() << " bytes in chunks of " << chunk;
      ASSERT_EQ(streamed.normalized, whole.normalized);
      ASSERT_EQ(streamed.output, whole.output);
      ExpectSameFields(streamed.fields, whole.fields);
      ASSERT_EQ(text.sawNul(), line.find('\0') != std::string::npos);
    }
  }
  for (int count : seen) EXPECT_GT(count, 5) << seen[0] << " " << seen[1] << " " << seen[2] << " " << seen[3];
}

TEST(TrimmedTextProperty, Utf8StreamedEqualsWhole) {
  LineGenerator gen(20030102, false);
  std::vector<std::string> lines = EdgeLines(false);
  for (int n = 0; n < 300; ++n) lines.push_back(gen.Line());
  int seen[4] = {};
  int invalid = 0;
  TrimmedText text(false);
  for (const std::string& line : lines) {
    Options options;
    if (line.size() % 2) options.style = Style::Official;
    bool wholeInvalid = false;
    const Result whole = detail::ConvertUtf8(line, options, &wholeInvalid);
    ++seen[static_cast<int>(whole.status)];
    invalid += wholeInvalid;
    for (std::size_t chunk : ChunkSizes(line.size())) {
      Feed(text, line, chunk);
      bool streamedInvalid = false;
      const Result streamed = ConvertTrimmedUtf8(text, options, &streamedInvalid);
      ASSERT_EQ(streamed.status, whole.status) << line.size() << " bytes in chunks of " << chunk;
      ASSERT_EQ(streamed.normalized, whole.normalized);
      ASSERT_EQ(streamed.output, whole.output);
      ExpectSameFields(streamed.fields, whole.fields);
      ASSERT_EQ(streamedInvalid, wholeInvalid);
    }
  }
  for (int count : seen) EXPECT_GT(count, 5);
  EXPECT_GT(invalid, 20);
}

TEST(TrimmedText, KeepsOnlyWhatTheDecisionNeeds) {
  const struct {
    std::string line;
    bool cp949;
    std::size_t size;
    std::string text;  // when held
  } kCases[] = {
      {std::string(1000000, ' ') + "가" + std::string(1000000, ' '), false, 3, "가"},
      {"a" + std::string(1000000, ' ') + "b", true, 1000002, ""},
      {std::string("a\0", 2) + std::string(2000, 'b'), true, 1, "a"},
      {"\xb0 " + std::string(10, ' '), true, 2, "\xb0 "},  // the space after a lead byte is its partner
      {"\xb0 " + std::string(10, ' '), false, 1, "\xb0"},  // not so in UTF-8
      {" \t\r\n\x0b\x0c", true, 0, ""},
  };
  for (const auto& c : kCases) {
    TrimmedText text(c.cp949);
    Feed(text, c.line, 4096);
    EXPECT_EQ(text.size(), c.size);
    if (!text.overLong()) {
      EXPECT_EQ(text.text(), c.text);
    }
  }
}

TEST(Utf8Check, AgreesWithTheDecoderOnEveryShortSequence) {
  // Every sequence of up to three bytes from the bytes where the rules
  // change, cut at every point.
  const unsigned char kBytes[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2,
                                  0xDF, 0xE0, 0xE1, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF4, 0xF5, 0xFF};
  std::vector<std::string> texts = {""};
  for (std::size_t length = 0; length < 3; ++length) {
    const std::size_t from = texts.size();
    for (std::size_t i = 0; i < from; ++i) {
      if (texts[i].size() != length) continue;
      for (unsigned char b : kBytes) texts.push_back(texts[i] + static_cast<char>(b));
    }
  }
  texts.push_back("\xf0\x9f\x98\x80");
  texts.push_back("\xf4\x8f\xbf\xbf");
  texts.push_back("\xf4\x90\x80\x80");
  for (const std::string& t : texts) {
    for (std::size_t cut = 0; cut <= t.size(); ++cut) {
      Utf8Check check;
      check.Feed(std::string_view(t).substr(0, cut));
      check.Feed(std::string_view(t).substr(cut));
      ASSERT_EQ(check.valid(), detail::IsValidUtf8(t)) << testing::PrintToString(t) << " cut at " << cut;
    }
  }
}

TEST(HeldLine, KeepsTheFirstBytesAndCountsTheRest) {
  const std::size_t kLimit = 8;
  const struct {
    std::string line;
    unsigned rules;
    bool fromStdin;
    std::size_t size;
    std::string text;
  } kCases[] = {
      {"12345678", HeldLine::kStripCr, true, 8, "12345678"},
      {"12345678\r", HeldLine::kStripCr, true, 8, "12345678"},     // the CR ending the line is dropped
      {"12345678\r", HeldLine::kStripCr, false, 9, "12345678\r"},  // not from an argument
      {"123456789", HeldLine::kStripCr, true, 9, ""},
      {std::string("ab\0c\r", 5), HeldLine::kStripCr, true, 4, std::string("ab\0c", 4)},
      {std::string("ab\0c\r", 5), HeldLine::kCutAtNul, true, 2, "ab"},
      {std::string("ab\r\0", 4), HeldLine::kStripCr | HeldLine::kCutAtNul, true, 3, "ab\r"},
      {std::string(1000, 'x') + std::string("\0", 1), HeldLine::kCutAtNul, true, 1000, ""},
      {"\r", HeldLine::kStripCr, true, 0, ""},
  };
  for (const auto& c : kCases) {
    for (std::size_t chunk = 1; chunk <= c.line.size(); ++chunk) {
      HeldLine line(kLimit, c.rules);
      line.Start(c.fromStdin);
      for (std::size_t at = 0; at < c.line.size(); at += chunk) line.Append(std::string_view(c.line).substr(at, chunk));
      EXPECT_EQ(line.size(), c.size) << testing::PrintToString(c.line) << " in chunks of " << chunk;
      EXPECT_EQ(line.overLong(), c.size > kLimit);
      if (!line.overLong()) {
        EXPECT_EQ(line.text(), c.text);
      }
    }
  }
}

TEST(HeldLine, TellsTheValidityOfTextsPastTheLimit) {
  for (const std::string& tail : {std::string(), std::string("\xff"), std::string("\xc3"), std::string("\xc3\xa9")}) {
    const std::string line = std::string(10, 'x') + tail + "yy";
    for (std::size_t chunk = 1; chunk <= line.size(); ++chunk) {
      HeldLine held(4, HeldLine::kCheckUtf8);
      Feed(held, line, chunk);
      ASSERT_TRUE(held.overLong());
      EXPECT_EQ(held.validUtf8(), detail::IsValidUtf8(line)) << testing::PrintToString(line) << " " << chunk;
    }
  }
}

// Collects what a LineReader hands out.
struct Collected {
  void Start(bool) { lines.emplace_back(); }
  void Append(std::string_view piece) { lines.back() += piece; }
  std::vector<std::string> lines;
};

TEST(LineReader, LinesStraddleReadsInAnyChunking) {
  const std::string input = "one\n\ntwo\r\n" + std::string(70000, 'x') + "\nlast";
  const std::vector<std::string> expected = {"one", "", "two\r", std::string(70000, 'x'), "last"};
  for (std::size_t chunk : {1, 2, 3, 7, 4096, 65536, 100000}) {
    test::FakeIo io(input);
    io.SetChunk(chunk);
    LineReader reader(io);
    Collected got;
    for (;;) {
      got.Start(true);
      if (!reader.Next(got)) break;
    }
    got.lines.pop_back();  // the one started at the end
    EXPECT_EQ(got.lines, expected) << chunk;
    EXPECT_FALSE(reader.failed());
  }
}

// What the data or a query holds reaches a terminal as text, never as a
// control: TAB, CR, LF and escape sequences are written out.
TEST(AppendVisible, EscapesControlCharacters) {
  const struct {
    std::string text;
    bool utf8;
    std::string visible;
  } cases[] = {
      {"테헤란로\t152", true, "테헤란로\\t152"},
      {"a\r\nb", true, "a\\r\\nb"},
      {"\x1B]0;title\x07x", true, "\\x1B]0;title\\x07x"},
      {"\x1B[31mred", true, "\\x1B[31mred"},
      {std::string("a\0b", 3), true, "a\\x00b"},
      {"del\x7F", true, "del\\x7F"},
      {"c1\xC2\x9B"
       "31m",
       true, "c1\\u009B31m"},
      {"3·1 é", true, "3·1 é"},
      {"\xC2\x9B", false, "\xC2\x9B"},  // a CP949 character, not C1
      {"\xB0\xA1\t", false, "\xB0\xA1\\t"},
  };
  for (const auto& c : cases) {
    std::string out = "<";
    AppendVisible(c.text, c.utf8, out);
    EXPECT_EQ(out, "<" + c.visible) << c.text;
  }
}

}  // namespace
}  // namespace jasokit::cli

#include <gtest/gtest.h>
#ifndef _WIN32
#include <iconv.h>
#endif

#include <cerrno>
#include <string>

#include "romanize/cp949.h"
#include "tables/cp949_tables.h"

using namespace jasokit::detail;  // the steps under test

namespace jasokit {
namespace {

#ifdef _WIN32
// No iconv on Windows: the checks against it skip.
class Iconv {
 public:
  Iconv(const char*, const char*) {}
  bool ok() const { return false; }
  bool Convert(const std::string&, std::string&) { return false; }
};
#else
// glibc's CP949 converter, the reference the tables were checked against.
class Iconv {
 public:
  Iconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
  ~Iconv() {
    if (ok()) iconv_close(m_cd);
  }
  bool ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
  // Converts in whole; false when iconv rejects any of it.
  bool Convert(std::string in, std::string& out) {
    iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
    out.assign(16, '\0');
    char* src = in.data();
    size_t srcLeft = in.size();
    char* dst = out.data();
    size_t dstLeft = out.size();
    const size_t rc = iconv(m_cd, &src, &srcLeft, &dst, &dstLeft);
    out.resize(out.size() - dstLeft);
    return rc != static_cast<size_t>(-1) && srcLeft == 0;
  }

 private:
  iconv_t m_cd;
};
#endif

TEST(Cp949Codec, DecodeTableMatchesIconv) {
  Iconv conv("UTF-16LE", "CP949");
  if (!conv.ok()) GTEST_SKIP() << "iconv has no CP949 converter here";
  std::size_t mapped = 0;
  std::string out;
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x00; trail <= 0xFF; ++trail) {
      const std::string in{static_cast<char>(lead), static_cast<char>(trail)};
      const char16_t ours = DecodeCp949Pair(lead, trail);
      if (conv.Convert(in, out) && out.size() == 2) {
        const char16_t theirs =
            static_cast<char16_t>(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8);
        ASSERT_EQ(ours, theirs) << std::hex << lead << ' ' << trail;
        ++mapped;
      } else {
        ASSERT_EQ(ours, 0) << std::hex << lead << ' ' << trail;
      }
    }
  }
  EXPECT_EQ(mapped, cp949::kMappedPairCount);
  EXPECT_EQ(mapped, 17048u);
}

TEST(Cp949Codec, EncodeTableMatchesIconv) {
  Iconv conv("CP949", "UTF-16LE");
  if (!conv.ok()) GTEST_SKIP() << "iconv has no CP949 converter here";
  std::string out;
  char ours[2];
  for (unsigned u = 0; u <= 0xFFFF; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;  // not a character on its own
    const std::string in{static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    bool mapped = true;
    const std::size_t n = EncodeCp949Unit(static_cast<char16_t>(u), ours, &mapped);
    if (conv.Convert(in, out)) {
      ASSERT_TRUE(mapped) << std::hex << u;
      ASSERT_EQ(std::string(ours, n), out) << std::hex << u;
    } else {
      ASSERT_FALSE(mapped) << std::hex << u;
      ASSERT_EQ(std::string(ours, n), "?") << std::hex << u;
    }
  }
}

TEST(Cp949Codec, EveryValidCharacterSurvivesARoundTrip) {
  std::u16string units;
  std::string back;
  for (unsigned c = 0; c < 0x80; ++c) {
    const std::string in(1, static_cast<char>(c));
    DecodeCp949(in, units);
    back.clear();
    ASSERT_TRUE(EncodeCp949(units, back));
    ASSERT_EQ(back, in);
  }
  for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
    for (unsigned trail = 0x41; trail <= 0xFE; ++trail) {
      if (!DecodeCp949Pair(lead, trail)) continue;
      const std::string in{static_cast<char>(lead), static_cast<char>(trail)};
      DecodeCp949(in, units);
      ASSERT_EQ(units.size(), 1u);
      back.clear();
      ASSERT_TRUE(EncodeCp949(units, back));
      ASSERT_EQ(back, in) << std::hex << lead << ' ' << trail;
    }
  }
}

// The other way round: no two characters share a pair, so valid UTF-8 comes
// back from CP949 as it went in (Convert relies on it for "normalized").
TEST(Cp949Codec, EveryEncodableUnitDecodesToItself) {
  for (unsigned unit = 0x80; unit <= 0xFFFF; ++unit) {
    char pair[2];
    bool mapped = true;
    if (EncodeCp949Unit(static_cast<char16_t>(unit), pair, &mapped) != 2 || !mapped) continue;
    ASSERT_EQ(DecodeCp949Pair(static_cast<unsigned char>(pair[0]), static_cast<unsigned char>(pair[1])), unit)
        << std::hex << unit;
  }
}

TEST(Cp949Codec, InvalidBytesDecodeToOneReplacementEach) {
  struct {
    std::string in;
    std::u16string expected;
  } cases[] = {
      {"\x80", u"\xFFFD"},
      {"\xff", u"\xFFFD"},
      {"\xb0", u"\xFFFD"},    // lead byte at the end
      {"\xb0 ", u"\xFFFD "},  // trail out of range: resume at it
      // A user-defined row is unmapped: only its lead fails, and decoding
      // resumes at the next byte, which here pairs with the following one.
      {"\xc9\xa1\xb0\xa1", u"\xFFFD\x201C\xFFFD"},
      {"a\x80\xb0\xa1z", u"a\xFFFD\xAC00z"},
      {std::string("\0x", 2), std::u16string(u"\0x", 2)},
  };
  std::u16string out;
  for (const auto& c : cases) {
    DecodeCp949(c.in, out);
    EXPECT_EQ(out, c.expected);
  }
}

TEST(Cp949Codec, Utf8EdgeReplacesWhatHasNoCp949Form) {
  struct {
    std::string utf8;
    std::string cp949;
    bool clean;
  } cases[] = {
      {"abc", "abc", true},
      {"\xea\xb0\x80", "\xb0\xa1", true},  // 가
      {"\xe3\x80\x80", "\xa1\xa1", true},  // full-width space
      {"\xf0\x9f\x98\x80", "?", false},    // outside the BMP: one '?'
      {"\xc3\xa9", "?", false},            // é has no CP949 form
      {"\xc0\x80", "??", false},           // overlong
      {"\xed\xa0\x80", "???", false},      // encoded surrogate
      {"\xea\xb0", "?", false},            // truncated: one maximal invalid part
      {"\xea\xb0"
       "a",
       "?a", false},
      {"\xff"
       "a",
       "?a", false},
  };
  for (const auto& c : cases) {
    std::string out;
    EXPECT_EQ(Utf8ToCp949(c.utf8, out), c.clean) << c.utf8;
    EXPECT_EQ(out, c.cp949) << c.utf8;
  }
  std::string back;
  EXPECT_FALSE(Cp949ToUtf8("\xb0\xa1\x80", back));
  EXPECT_EQ(back, "\xea\xb0\x80\xef\xbf\xbd");
}

}  // namespace
}  // namespace jasokit

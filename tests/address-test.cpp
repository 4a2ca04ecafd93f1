#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "address/address_converter.h"
#include "address/conversion.h"
#include "romanize/cp949.h"
#include "romanize/hangul_romanizer.h"
#include "test-util.h"

using namespace jasokit::detail;  // the steps under test

namespace jasokit {
namespace {

using Parts = std::vector<std::string>;

using test::Cp;
using test::Repeat;
using test::Utf8;

// The engine's romanization of a name given in UTF-8.
std::string R(const std::string& utf8) {
  HangulRomanizer engine;
  std::string out;
  RomanizeName(engine, Cp(utf8), out);
  return out;
}

// Recognises a UTF-8 text; parts as the converter left them.
bool RecognizeText(const std::string& utf8, Parts* parts = nullptr) {
  AddressConverter converter;
  const std::string text = Cp(utf8);
  converter.SetInput(text.c_str());
  const bool ok = converter.Recognize();
  if (parts != nullptr) *parts = converter.parts();
  return ok;
}

std::string ConvertAddress(const std::string& utf8) {
  const Result r = ConvertInput(Cp(utf8));
  EXPECT_EQ(r.status, ConversionStatus::Address) << utf8;
  return r.output;
}

TEST(AddressTokens, SplitOnlyAtTheSpaceByte) {
  struct Case {
    const char* text;
    std::vector<std::string> tokens;
  };
  const Case cases[] = {
      {"서울 강남구", {"서울", "강남구"}},
      {"서울", {"서울"}},
      {" 서울", {"", "서울"}},
      {"서울  강남구", {"서울", "", "강남구"}},
      {"서울 ", {"서울"}},
      {" ", {""}},
      {"서울\t강남구", {"서울\t강남구"}},
      {"서울\u3000강남구", {"서울\u3000강남구"}},  // the double-byte space stays inside
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    AddressConverter converter;
    const std::string text = Cp(c.text);
    converter.SetInput(text.c_str());
    std::vector<std::string> expected;
    for (const std::string& t : c.tokens) expected.push_back(Cp(t));
    EXPECT_EQ(converter.tokens(), expected);
    EXPECT_EQ(converter.tokenCount(), static_cast<std::int32_t>(expected.size()));
  }
}

TEST(AddressTokens, EmptyTextKeepsThePreviousTokens) {
  AddressConverter converter;
  const std::string text = Cp("서울 강남구");
  converter.SetInput(text.c_str());
  converter.SetInput("");
  EXPECT_EQ(converter.tokenCount(), 2);
  EXPECT_TRUE(converter.Recognize());
}

TEST(AddressRecognize, EveryWrittenFormOfARegion) {
  const std::pair<const char*, const char*> forms[] = {
      {"경기", "Gyeonggi-do"},
      {"경기도", "Gyeonggi-do"},
      {"충북", "Chungcheongbuk-do"},
      {"충청북도", "Chungcheongbuk-do"},
      {"경북", "Gyeongsangbuk-do"},
      {"경상북도", "Gyeongsangbuk-do"},
      {"전남", "Jeollanam-do"},
      {"전라남도", "Jeollanam-do"},
      {"강원", "Gangwon-do"},
      {"강원도", "Gangwon-do"},
      {"제주", "Jeju-do"},
      {"제주도", "Jeju-do"},
      {"충남", "Chungcheongnam-do"},
      {"충청남도", "Chungcheongnam-do"},
      {"전북", "Jeollabuk-do"},
      {"전라북도", "Jeollabuk-do"},
      {"경남", "Gyeongsangnam-do"},
      {"경상남도", "Gyeongsangnam-do"},
      {"서울", "Seoul"},
      {"서울특별시", "Seoul"},
      {"서울시", "Seoul"},
      {"부산", "Busan-si"},
      {"부산광역시", "Busan-si"},
      {"부산시", "Busan-si"},
      {"광주", "Gwangju-si"},
      {"광주광역시", "Gwangju-si"},
      {"광주시", "Gwangju-si"},
      {"인천", "Incheon-si"},
      {"인천광역시", "Incheon-si"},
      {"인천시", "Incheon-si"},
      {"울산", "Ulsan-si"},
      {"울산광역시", "Ulsan-si"},
      {"울산시", "Ulsan-si"},
      {"대전", "Daejeon-si"},
      {"대전광역시", "Daejeon-si"},
      {"대전시", "Daejeon-si"},
      {"대구", "Daegu-si"},
      {"대구광역시", "Daegu-si"},
      {"대구시", "Daegu-si"},
      // The two-word forms give one component.
      {"서울 특별시", "Seoul"},
      {"부산 광역시", "Busan-si"},
      {"광주 광역시", "Gwangju-si"},
      {"인천 광역시", "Incheon-si"},
      {"울산 광역시", "Ulsan-si"},
      {"대전 광역시", "Daejeon-si"},
      {"대구 광역시", "Daegu-si"},
  };
  for (const auto& [korean, roman] : forms) {
    SCOPED_TRACE(korean);
    Parts parts;
    EXPECT_TRUE(RecognizeText(korean, &parts));
    EXPECT_EQ(parts, (Parts{"S.KOREA", roman}));
  }
}

TEST(AddressRecognize, FirstTokenMustBeARegionAsAWhole) {
  const char* texts[] = {
      "강남구 역삼동", "서울특별시강남구", "서울, 강남구", "서울\t강남구",     "경기도시 성남시",
      "서울특별",      "Seoul 강남구",     "특별시 서울",  "서울\u3000강남구",
  };
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    Parts parts;
    EXPECT_FALSE(RecognizeText(text, &parts));
    EXPECT_EQ(parts, Parts{"S.KOREA"});
  }
}

TEST(AddressRecognize, NoTokensLeavesPartsAlone) {
  AddressConverter converter;
  EXPECT_FALSE(converter.Recognize());
  EXPECT_TRUE(converter.parts().empty());
}

TEST(AddressRecognize, ComponentsPerToken) {
  struct Case {
    const char* text;
    Parts parts;
  };
  const std::string seoul = "Seoul";
  const std::string gg = "Gyeonggi-do";
  const Case cases[] = {
      // Province: city, district, locality, then the remainder.
      {"경기도 성남시 분당구 정자동 1 현대아파트 101동 1004호",
       {"S.KOREA", gg, R("성남") + "-si", R("분당") + "-gu", R("정자") + "-dong", "1", R("현대") + " APT.", "101-dong",
        R("1004호")}},
      // County, town, village.
      {"경상남도 함안군 가야읍 말산리 123",
       {"S.KOREA", "Gyeongsangnam-do", R("함안") + "-gun", R("가야") + "-eup", R("말산") + "-ri", "123"}},
      {"강원 홍천군 서석면", {"S.KOREA", "Gangwon-do", R("홍천") + "-gun", R("서석") + "-myeon"}},
      // City without district: the locality is looked at again.
      {"전라북도 전주시 덕진동 1", {"S.KOREA", "Jeollabuk-do", R("전주") + "-si", R("덕진") + "-dong", "1"}},
      {"경기도 용인시 모현면", {"S.KOREA", gg, R("용인") + "-si", R("모현") + "-myeon"}},
      {"경기도 수원시 팔달구 교동3가", {"S.KOREA", gg, R("수원") + "-si", R("팔달") + "-gu", R("교동3") + "-ga"}},
      // A county is only expected right after the province.
      {"경기도 성남시 양평군", {"S.KOREA", gg, R("성남") + "-si", R("양평군")}},
      // Province followed directly by a locality.
      {"경기 역삼동 1", {"S.KOREA", gg, R("역삼") + "-dong", "1"}},
      {"경기 가야면", {"S.KOREA", gg, R("가야") + "-myeon"}},
      // Province followed by anything else: examined as 시, 군, locality, remainder.
      {"경기 현대아파트", {"S.KOREA", gg, R("현대") + " APT."}},
      {"경기 역삼구", {"S.KOREA", gg, R("역삼구")}},
      // 읍 only right after a county; 면 and 동 after a county.
      {"경기 성남시 가야읍", {"S.KOREA", gg, R("성남") + "-si", R("가야") + "-eup"}},
      {"강원 홍천군 내면 1", {"S.KOREA", "Gangwon-do", R("홍천") + "-gun", R("내") + "-myeon", "1"}},
      {"강원 홍천군 역삼동", {"S.KOREA", "Gangwon-do", R("홍천") + "-gun", R("역삼") + "-dong"}},
      {"강원 홍천군 화촌가", {"S.KOREA", "Gangwon-do", R("홍천") + "-gun", R("화촌가")}},
      // 리 only in the remainder; 동 and 읍 anywhere in it.
      {"경기 말산리", {"S.KOREA", gg, R("말산") + "-ri"}},
      {"서울 강남구 역삼동 역삼동 가야읍",
       {"S.KOREA", seoul, R("강남") + "-gu", R("역삼") + "-dong", R("역삼") + "-dong", R("가야") + "-eup"}},
      {"서울 강남구 역삼동 강남구 종로3가",
       {"S.KOREA", seoul, R("강남") + "-gu", R("역삼") + "-dong", R("강남구"), R("종로3가")}},
      // Metropolitan city: district, then neighbourhood or street section.
      {"서울특별시 강남구 역삼동 123-45", {"S.KOREA", seoul, R("강남") + "-gu", R("역삼") + "-dong", "123-45"}},
      {"서울 종로구 종로3가", {"S.KOREA", seoul, R("종로") + "-gu", R("종로3") + "-ga"}},
      {"서울 역삼동", {"S.KOREA", seoul, R("역삼") + "-dong"}},
      {"서울 101동", {"S.KOREA", seoul, "101-dong"}},
      {"서울 종로3가", {"S.KOREA", seoul, R("종로3") + "-ga"}},
      {"울산 울주군 언양읍", {"S.KOREA", "Ulsan-si", R("울주군"), R("언양") + "-eup"}},
      {"서울 강남구 가야면", {"S.KOREA", seoul, R("강남") + "-gu", R("가야면")}},
      {"서울 강남 구", {"S.KOREA", seoul, R("강남"), R("구")}},
      {"부산광역시 해운대구 우동 1234", {"S.KOREA", "Busan-si", R("해운대") + "-gu", R("우") + "-dong", "1234"}},
      // Post-office boxes where a district or locality is expected.
      {"서울 중앙사서함 123", {"S.KOREA", seoul, R("중앙") + " Post-Office Box.", "123"}},
      {"서울 강남구 강남사서함 1", {"S.KOREA", seoul, R("강남") + "-gu", R("강남") + " Post-Office Box.", "1"}},
      // After a district-place box a locality is still expected (면 proves it).
      {"경기도 수원시 수원사서함 모현면",
       {"S.KOREA", gg, R("수원") + "-si", R("수원") + " Post-Office Box.", R("모현") + "-myeon"}},
      {"경기 수원사서함 모현면", {"S.KOREA", gg, R("수원") + " Post-Office Box.", R("모현면")}},
      {"경기 수원사서함 5", {"S.KOREA", gg, R("수원") + " Post-Office Box.", "5"}},
      {"강원 홍천군 홍천사서함", {"S.KOREA", "Gangwon-do", R("홍천") + "-gun", R("홍천") + " Post-Office Box."}},
      {"서울 강남구 역삼동 중앙사서함 7",
       {"S.KOREA", seoul, R("강남") + "-gu", R("역삼") + "-dong", R("중앙") + " Post-Office Box.", "7"}},
      // Empty names.
      {"서울 구 역삼동", {"S.KOREA", seoul, "-gu", R("역삼") + "-dong"}},
      {"서울 역삼동 10 층", {"S.KOREA", seoul, R("역삼") + "-dong", "10", " Floor"}},
      {"서울 사서함", {"S.KOREA", seoul, " Post-Office Box."}},
      {"경기 시 군", {"S.KOREA", gg, "-si", R("군")}},
      {"경기 군 읍 리", {"S.KOREA", gg, "-gun", "-eup", "-ri"}},
      // Tokens that end in no syllable.
      {"서울 A", {"S.KOREA", seoul, "A"}},
      {"서울 5층", {"S.KOREA", seoul, "5 Floor"}},
      {"제주도 서귀포시 대학로 1", {"S.KOREA", "Jeju-do", R("서귀포") + "-si", R("대학로"), "1"}},
      // Two-word city forms continue with the district.
      {"서울 특별시 강남구 역삼동", {"S.KOREA", seoul, R("강남") + "-gu", R("역삼") + "-dong"}},
      {"대구 광역시 중구 동인동1가", {"S.KOREA", "Daegu-si", R("중") + "-gu", R("동인동1") + "-ga"}},
      // Not a two-word form: the designation must belong to the city and
      // stand alone, and only the short form combines.
      {"서울 광역시 강남구", {"S.KOREA", seoul, R("광역시"), R("강남구")}},
      {"부산 특별시 해운대구", {"S.KOREA", "Busan-si", R("특별시"), R("해운대구")}},
      {"서울시 특별시 강남구", {"S.KOREA", seoul, R("특별시"), R("강남구")}},
      {"서울 특별시강남구", {"S.KOREA", seoul, R("특별시강남") + "-gu"}},
      {"서울 서울 특별시", {"S.KOREA", seoul, R("서울"), R("특별시")}},
      {"경기 특별시", {"S.KOREA", gg, R("특별") + "-si"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Parts parts;
    EXPECT_TRUE(RecognizeText(c.text, &parts));
    EXPECT_EQ(parts, c.parts);
  }
}

TEST(AddressRecognize, BuildingWordsInRowOrder) {
  // Each word after a name in the remainder; 산업대학 must win over 대학.
  const std::pair<const char*, const char*> words[] = {
      {"산업대", "Industry College."},
      {"산업대학", "Industry College."},
      {"병원", "Hospital."},
      {"전화국", "Tele-Office."},
      {"사서함", "Post-Office Box."},
      {"프라자", "Plaza"},
      {"(주)", "Inc."},
      {"백화점", "Dept."},
      {"경찰서", "Police-Station"},
      {"대학", "University"},
      {"대학교", "University"},
      {"시청", "City-Hall"},
      {"캠퍼스", "Campus"},
      {"도청", "Provincial Office"},
      {"은행", "Bank"},
      {"본점", "Head-Quarters"},
      {"아파트", "APT."},
      {"층", "Floor"},
      {"빌라", "Villa"},
      {"빌딩", "Building"},
  };
  for (const auto& [word, english] : words) {
    SCOPED_TRACE(word);
    Parts parts;
    EXPECT_TRUE(RecognizeText(std::string("서울 역삼동 한국") + word, &parts));
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[3], R("한국") + " " + english);
  }
  Parts parts;
  EXPECT_TRUE(RecognizeText("서울 역삼동 서울산업대학 서울대학교 대학 (주)", &parts));
  EXPECT_EQ(parts, (Parts{"S.KOREA", "Seoul", R("역삼") + "-dong", R("서울") + " Industry College.",
                          R("서울") + " University", " University", " Inc."}));
}

TEST(AddressRecognize, RecognizeTwiceGivesTheSameParts) {
  AddressConverter converter;
  const std::string text = Cp("경기도 성남시 분당구 정자동 1 현대아파트");
  converter.SetInput(text.c_str());
  ASSERT_TRUE(converter.Recognize());
  const Parts first = converter.parts();
  ASSERT_TRUE(converter.Recognize());
  EXPECT_EQ(converter.parts(), first);
}

TEST(AddressRender, EnglishOrderWithTrailingSpace) {
  EXPECT_EQ(ConvertAddress("서울"), "Seoul S.KOREA ");
  // The names as the engine spells them, written out once.
  EXPECT_EQ(ConvertAddress("서울특별시 강남구 역삼동 123-45"), "123-45 Yeoksam-dong Gangnam-gu Seoul S.KOREA ");

  struct Case {
    const char* text;
    std::string output;
  };
  const Case cases[] = {
      {"부산광역시 해운대구 우동 1234", "1234 " + R("우") + "-dong " + R("해운대") + "-gu Busan-si S.KOREA "},
      {"경상남도 함안군 가야읍 말산리 123",
       "123 " + R("말산") + "-ri " + R("가야") + "-eup " + R("함안") + "-gun Gyeongsangnam-do S.KOREA "},
      {"경기도 성남시 분당구 정자동 1 현대아파트 101동 1004호", R("1004호") + " 101-dong " + R("현대") + " APT. 1 " +
                                                                    R("정자") + "-dong " + R("분당") + "-gu " +
                                                                    R("성남") + "-si Gyeonggi-do S.KOREA "},
      {"서울 종로구 종로3가", R("종로3") + "-ga " + R("종로") + "-gu Seoul S.KOREA "},
      {"서울 중앙사서함 123", "123 " + R("중앙") + " Post-Office Box. Seoul S.KOREA "},
      {"서울 역삼동 10 층", " Floor 10 " + R("역삼") + "-dong Seoul S.KOREA "},
      {"서울 A", "A Seoul S.KOREA "},
      {"서울 5층", "5 Floor Seoul S.KOREA "},
      {"서울 구 역삼동", R("역삼") + "-dong -gu Seoul S.KOREA "},
      {"서울 특별시 강남구 역삼동", R("역삼") + "-dong " + R("강남") + "-gu Seoul S.KOREA "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ConvertAddress(c.text), c.output);
  }
}

TEST(AddressRender, NamesKeepTheirOwnCapitalisation) {
  // A name beginning with a digit gets no capital; the suffix is fixed text.
  EXPECT_EQ(ConvertAddress("서울 종로구 3가동"), "3ga-dong " + R("종로") + "-gu Seoul S.KOREA ");
}

TEST(AddressConversion, ChoosesBetweenAddressAndPlainText) {
  // A plain text is romanized whole: every syllable, the tab and the comma
  // kept, the first letter upper-cased.
  struct Case {
    const char* text;
    ConversionStatus status;
    const char* plain;  // the output of a plain text
  };
  const Case cases[] = {
      {"서울 강남구 역삼동 123", ConversionStatus::Address, nullptr},
      {"  서울  강남구 \r\n역삼동  ", ConversionStatus::Address, nullptr},
      {"강남구 역삼동", ConversionStatus::PlainText, "Gangnamgu yeoksamdong"},
      {"서울\t강남구", ConversionStatus::PlainText, "Seoul\tgangnamgu"},
      {"서울, 강남구", ConversionStatus::PlainText, "Seoul, gangnamgu"},
      {"서울특별시강남구", ConversionStatus::PlainText, "Seoulteukbyeolsigangnamgu"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const Result r = ConvertInput(Cp(c.text));
    EXPECT_EQ(r.status, c.status);
    if (c.plain) EXPECT_EQ(r.output, c.plain);
  }
}

// Render into a buffer with a guard zone behind it.
struct GuardedRender {
  static constexpr char kGuard = '\x5A';
  char bytes[kOutputBufferBytes + 1 + 64];
  explicit GuardedRender(const Parts& parts) {
    std::memset(bytes, kGuard, sizeof bytes);
    Render(parts, bytes);
  }
  std::string text() const { return bytes; }
  bool guardIntact() const {
    for (std::size_t i = kOutputBufferBytes + 1; i < sizeof bytes; ++i) {
      if (bytes[i] != kGuard) return false;
    }
    return true;
  }
};

TEST(AddressRender, OverLongTextIsCutAtACharacterBoundary) {
  const std::string ga = Cp("가");  // B0 A1: the trail byte is also in the lead range
  struct Case {
    const char* what;
    Parts parts;
    std::string expected;
  };
  const Case cases[] = {
      {"exactly 1024 bytes fit whole", {std::string(1023, 'a')}, std::string(1023, 'a') + " "},
      {"one byte over", {std::string(1024, 'a')}, std::string(1024, 'a')},
      {"last parts are rendered first", {"S.KOREA", std::string(1030, 'b')}, std::string(1024, 'b')},
      {"character ends exactly at the cut", {Repeat(ga, 600)}, Repeat(ga, 512)},
      {"character straddles the cut", {"a" + Repeat(ga, 600)}, "a" + Repeat(ga, 511)},
      {"straddle after a one-byte part", {Repeat(ga, 600), "cc"}, "cc " + Repeat(ga, 510)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    GuardedRender r(c.parts);
    EXPECT_EQ(r.text(), c.expected);
    EXPECT_TRUE(r.guardIntact());
  }
}

TEST(AddressRender, LongAddressIsAPrefixOfTheFullText) {
  // 454 input bytes whose romanization is over 1400 bytes long.
  std::string text = "서울";
  for (int i = 0; i < 50; ++i) text += " 꽹꽹꽹꽹";
  const std::string input = Cp(text);
  ASSERT_LE(input.size(), kMaxInputBytes);

  AddressConverter converter;
  converter.SetInput(input.c_str());
  ASSERT_TRUE(converter.Recognize());
  std::string full;
  for (auto it = converter.parts().rbegin(); it != converter.parts().rend(); ++it) full += *it + " ";
  ASSERT_GT(full.size(), kOutputBufferBytes);

  const Result r = ConvertInput(input);
  EXPECT_EQ(r.status, ConversionStatus::Address);
  EXPECT_EQ(r.output.size(), kOutputBufferBytes);
  EXPECT_EQ(r.output, full.substr(0, kOutputBufferBytes));
}

TEST(AddressRender, KoreanPassedThroughIsNotSplitAtTheCut) {
  // Hanja pass through the engine unchanged, so the rendered text holds
  // double-byte characters where it is cut. Three tails shift the cut by one
  // byte each, so at least one cut falls inside a character.
  std::string head = "서울";
  for (int i = 0; i < 60; ++i) head += " 漢字漢字漢字";
  for (int i = 0; i < 10; ++i) head += " 꽹꽹꽹꽹꽹꽹꽹꽹꽹꽹";
  int shortened = 0;
  for (const char* tail : {" A", " AB", " ABC"}) {
    SCOPED_TRACE(tail);
    const std::string input = Cp(head + tail);
    ASSERT_LE(input.size(), kMaxInputBytes);
    AddressConverter converter;
    converter.SetInput(input.c_str());
    ASSERT_TRUE(converter.Recognize());
    std::string full;
    for (auto it = converter.parts().rbegin(); it != converter.parts().rend(); ++it) {
      full += *it + " ";
    }
    const Result r = ConvertInput(input);
    ASSERT_EQ(r.status, ConversionStatus::Address);
    ASSERT_GE(r.output.size(), kOutputBufferBytes - 1);
    ASSERT_LE(r.output.size(), kOutputBufferBytes);
    EXPECT_EQ(r.output, full.substr(0, r.output.size()));
    std::string utf8;
    EXPECT_TRUE(Cp949ToUtf8(r.output, utf8));
    if (r.output.size() == kOutputBufferBytes - 1) ++shortened;
  }
  EXPECT_GE(shortened, 1);
}

TEST(AddressConversion, AnyBytesAfterARegionAreSafe) {
  // Region first so the address path sees the bytes: lone lead bytes,
  // spaces, NUL-free garbage of any length up to the input limit.
  std::mt19937 random(20240229);
  const std::string region = Cp("서울");
  for (int n = 0; n < 3000; ++n) {
    std::string text = region + " ";
    const std::size_t length = random() % 1100;
    for (std::size_t i = 0; i < length; ++i) {
      const unsigned v = random() % 8 == 0 ? 0x20 : 1 + random() % 255;
      text += static_cast<char>(v);
    }
    const Result r = ConvertInput(text);
    ASSERT_LE(r.output.size(), kOutputBufferBytes);
    if (r.status == ConversionStatus::Address) {
      ASSERT_GE(r.output.size(), 8u);  // at least "S.KOREA "
    }
  }
}

std::string RunCli(const std::string& args) {
#ifdef _WIN32
  // cmd.exe quotes with " and names the null device NUL; the wide call
  // keeps the Korean arguments whole.
  std::string line = args;
  std::replace(line.begin(), line.end(), '\'', '"');
  const std::size_t null = line.find("/dev/null");
  if (null != std::string::npos) line.replace(null, 9, "NUL");
  const std::string command = "\"" + std::string(JASOKIT_CLI_PATH) + " " + line + "\"";
  FILE* pipe = _wpopen(std::filesystem::u8path(command).wstring().c_str(), L"rb");
#else
  const std::string command = std::string(JASOKIT_CLI_PATH) + " " + args;
  FILE* pipe = popen(command.c_str(), "r");
#endif
  if (pipe == nullptr) return "<popen failed>";
  std::string out;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
#ifdef _WIN32
  _pclose(pipe);
#else
  pclose(pipe);
#endif
  return out;
}

TEST(AddressCli, ConvertShowsTheAddress) {
  EXPECT_EQ(RunCli("convert '서울특별시 강남구 역삼동 123-45' '강원 홍천군 서석면'"),
            "123-45 Yeoksam-dong Gangnam-gu Seoul S.KOREA \n" +
                Utf8(R("서석") + "-myeon " + R("홍천") + "-gun Gangwon-do S.KOREA \n"));
  EXPECT_EQ(RunCli("convert --tsv < /dev/null"), "");
  EXPECT_EQ(RunCli("convert --tsv '서울  특별시 강남구'"),
            "Address\t서울 특별시 강남구\t" + R("강남") + "-gu Seoul S.KOREA \n");
}

}  // namespace
}  // namespace jasokit

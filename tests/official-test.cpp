// The official style: road-name and lot addresses in the official English
// format, and the Revised Romanization of Korean for names and plain text.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "address/conversion.h"
#include "jasokit/convert.h"
#include "test-util.h"

namespace jasokit {
namespace {

using test::Cp;
using test::Repeat;

const Options kOfficial{Style::Official, ""};

std::string Official(const std::string& utf8, const std::string& country = "") {
  return Convert(utf8, Options{Style::Official, country}).output;
}

struct Case {
  const char* input;
  const char* output;
};

TEST(OfficialAddress, ExamplesOfTheFormat) {
  const Case kCases[] = {
      {"서울특별시 강남구 테헤란로 152", "152 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea"},
      {"(06236) 서울특별시 강남구 테헤란로 152, 3층", "3F, 152 Teheran-ro, Gangnam-gu, Seoul, 06236, Republic of Korea"},
      {"세종특별자치시 도움6로 42, 705동 1104호", "705-dong 1104-ho, 42 Doum 6-ro, Sejong-si, Republic of Korea"},
      {"경기도 성남시 분당구 수내로46번길 4",
       "4 Sunae-ro 46beon-gil, Bundang-gu, Seongnam-si, Gyeonggi-do, Republic of Korea"},
      {"충청북도 청주시 흥덕구 옥산면 과학산업3로 29",
       "29 Gwahaksaneop 3-ro, Oksan-myeon, Heungdeok-gu, Cheongju-si, Chungcheongbuk-do, Republic of Korea"},
      {"경상북도 영양군 영양읍 고월길 23",
       "23 Gowol-gil, Yeongyang-eup, Yeongyang-gun, Gyeongsangbuk-do, Republic of Korea"},
      {"전북특별자치도 전주시 완산구 오목대길 5-19",
       "5-19 Omokdae-gil, Wansan-gu, Jeonju-si, Jeonbuk-do, Republic of Korea"},
      {"서울 관악구 신림동 739", "739 Sillim-dong, Gwanak-gu, Seoul, Republic of Korea"},
      {"경상남도 함안군 가야읍 말산리 123", "123 Malsan-ri, Gaya-eup, Haman-gun, Gyeongsangnam-do, Republic of Korea"},
      {"서울특별시 영등포구 63로 36", "36 63-ro, Yeongdeungpo-gu, Seoul, Republic of Korea"},
      {"세종특별자치시 한누리대로 2130", "2130 Hannuri-daero, Sejong-si, Republic of Korea"},
      {"경기도 성남시 분당구 판교역로 235",
       "235 Pangyoyeok-ro, Bundang-gu, Seongnam-si, Gyeonggi-do, Republic of Korea"},
  };
  for (const Case& c : kCases) EXPECT_EQ(Official(c.input), c.output) << c.input;
  EXPECT_EQ(Official("서울", "S.KOREA"), "Seoul, S.KOREA");
}

TEST(OfficialAddress, RoadNames) {
  const Case kCases[] = {
      {"서울 중구 세종대로 110", "110 Sejong-daero, Jung-gu, Seoul, Republic of Korea"},      // 대로 over 로
      {"서울 강남구 테헤란로7길 22", "22 Teheran-ro 7-gil, Gangnam-gu, Seoul, Republic of Korea"},  // type first
      {"서울 강남구 테헤란로 7길 22", "22 Teheran-ro 7-gil, Gangnam-gu, Seoul, Republic of Korea"},
      {"서울 은평구 미성10길 3", "3 Miseong 10-gil, Eunpyeong-gu, Seoul, Republic of Korea"},
      {"서울 관악구 관악로10길 3", "3 Gwanak-ro 10-gil, Gwanak-gu, Seoul, Republic of Korea"},
      {"대전광역시 중구 중부대로 12번길 5", "5 Jungbu-daero 12beon-gil, Jung-gu, Daejeon, Republic of Korea"},
      {"서울 종로구 종로1가길 5", "5 Jong-ro 1ga-gil, Jongno-gu, Seoul, Republic of Korea"},
      {"서울 강남구 테헤란로", "Teheran-ro, Gangnam-gu, Seoul, Republic of Korea"},  // no number
      {"서울 강남구 테헤란로 지하 152", "B152 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea"},
      {"서울 강남구 테헤란로 지하152", "B152 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea"},
      {"서울 강남구 테헤란로 12-1", "12-1 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea"},
      // A locality before the road has a group of its own.
      {"서울 강남구 역삼동 테헤란로 152", "152 Teheran-ro, Yeoksam-dong, Gangnam-gu, Seoul, Republic of Korea"},
  };
  for (const Case& c : kCases) EXPECT_EQ(Official(c.input), c.output) << c.input;
}

TEST(OfficialAddress, LotAddressesAndUnits) {
  const Case kCases[] = {
      {"서울 강남구 역삼1동 123-4", "123-4 Yeoksam 1-dong, Gangnam-gu, Seoul, Republic of Korea"},
      {"서울 종로구 종로3가", "Jongno 3-ga, Jongno-gu, Seoul, Republic of Korea"},
      {"경기도 화성시 봉담읍 수기리 산 12", "San 12 Sugi-ri, Bongdam-eup, Hwaseong-si, Gyeonggi-do, Republic of Korea"},
      {"경기도 화성시 봉담읍 수기리 산12", "San 12 Sugi-ri, Bongdam-eup, Hwaseong-si, Gyeonggi-do, Republic of Korea"},
      {"서울 강남구 역삼동 현대아파트 101동 1004호",
       "Hyeondae APT. 101-dong 1004-ho, Yeoksam-dong, Gangnam-gu, Seoul, Republic of Korea"},
      {"경기도 성남시 분당구 정자동 1 현대아파트 101동 1004호",
       "Hyeondae APT. 101-dong 1004-ho, 1 Jeongja-dong, Bundang-gu, Seongnam-si, Gyeonggi-do, Republic of Korea"},
      {"서울 감로동", "Gamno-dong, Seoul, Republic of Korea"},  // names follow the standard too
      {"부산 기장군 기장읍", "Gijang-eup, Gijang-gun, Busan, Republic of Korea"},
      // A unit syllable alone has no name: it is a word like any other.
      {"서울 구 역삼동", "Gu Yeoksam-dong, Seoul, Republic of Korea"},
      {"서울 강남구 3층", "3F, Gangnam-gu, Seoul, Republic of Korea"},  // a detail without a road
  };
  for (const Case& c : kCases) EXPECT_EQ(Official(c.input), c.output) << c.input;
}

TEST(OfficialAddress, RegionsPostcodesNotesAndCommas) {
  const Case kCases[] = {
      {"06236 서울 강남구 테헤란로 152", "152 Teheran-ro, Gangnam-gu, Seoul, 06236, Republic of Korea"},
      {"서울 강남구 테헤란로 152 (06236)", "152 Teheran-ro, Gangnam-gu, Seoul, 06236, Republic of Korea"},
      {"서울 특별시 강남구 테헤란로 152", "152 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea"},
      {"세종 특별자치시 한누리대로 2130", "2130 Hannuri-daero, Sejong-si, Republic of Korea"},
      {"제주 특별자치도 제주시 첨단로 242", "242 Cheomdan-ro, Jeju-si, Jeju-do, Republic of Korea"},
      {"강원 특별자치도 춘천시 중앙로 1", "1 Jungang-ro, Chuncheon-si, Gangwon-do, Republic of Korea"},
      {"전북 특별자치도 전주시", "Jeonju-si, Jeonbuk-do, Republic of Korea"},
      {"전라북도 전주시", "Jeonju-si, Jeonbuk-do, Republic of Korea"},
      {"광주광역시 북구 용봉로 77", "77 Yongbong-ro, Buk-gu, Gwangju, Republic of Korea"},
      {"전남광주통합특별시 북구 용봉로 77", "77 Yongbong-ro, Buk-gu, Jeonnam-Gwangju, Republic of Korea"},
      {"서울특별시 강남구 테헤란로 152 (역삼동)", "(Yeoksam-dong), 152 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea"},
      {"서울특별시 강남구 테헤란로 152 (역삼동, 현대아파트)",
       "(Yeoksam-dong, Hyeondae APT.), 152 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea"},
      {"서울 강남구 테헤란로 152 , 3층", "3F, 152 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea"},
      {"서울, 강남구", "Gangnam-gu, Seoul, Republic of Korea"},
      {"서울 강남구 테헤란로 152 지하1층", "B1F, 152 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea"},
  };
  for (const Case& c : kCases) EXPECT_EQ(Official(c.input), c.output) << c.input;
}

TEST(OfficialAddress, OtherTextIsRomanizedByTheStandard) {
  const Case kCases[] = {
      {"강남구 테헤란로 152", "Gangnamgu teherallo 152"},  // the first word names no region
      {"(06236)", "(06236)"},
      {"한국어 로마자 표기", "Hangugeo romaja pyogi"},
      {"합니다", "Hamnida"},
  };
  for (const Case& c : kCases) {
    const Result r = Convert(c.input, kOfficial);
    EXPECT_EQ(r.status, ConversionStatus::PlainText) << c.input;
    EXPECT_EQ(r.output, c.output) << c.input;
    EXPECT_FALSE(r.fields.has_value());
  }
  // The steps before recognition are the classic ones.
  EXPECT_EQ(Convert("   ", kOfficial).status, ConversionStatus::Empty);
  EXPECT_EQ(Convert(Repeat("가", 513), kOfficial).status, ConversionStatus::TooLong);
  EXPECT_EQ(Convert("  서울 \r\n 강남구  ", kOfficial).normalized, "서울 강남구");
}

TEST(OfficialAddress, FieldsSplitTheAddress) {
  const Result r = Convert("(06236) 서울특별시 강남구 테헤란로 152, 3층", kOfficial);
  ASSERT_EQ(r.status, ConversionStatus::Address);
  ASSERT_TRUE(r.fields.has_value());
  EXPECT_EQ(r.fields->detail, "3F");
  EXPECT_EQ(r.fields->street, "152 Teheran-ro");
  EXPECT_EQ(r.fields->district, "Gangnam-gu");
  EXPECT_EQ(r.fields->region, "Seoul");
  EXPECT_EQ(r.fields->postcode, "06236");
  EXPECT_EQ(r.fields->country, "Republic of Korea");
  Options textsOnly = kOfficial;
  textsOnly.withFields = false;
  const Result t = Convert("(06236) 서울특별시 강남구 테헤란로 152, 3층", textsOnly);
  EXPECT_EQ(t.output, r.output);
  EXPECT_FALSE(t.fields.has_value());

  const Result n = Convert("경기도 성남시 분당구 판교역로 235 (삼평동) 7층", Options{Style::Official, "KOREA"});
  ASSERT_TRUE(n.fields.has_value());
  EXPECT_EQ(n.fields->detail, "(Sampyeong-dong), 7F");
  EXPECT_EQ(n.fields->district, "Bundang-gu, Seongnam-si");
  EXPECT_EQ(n.fields->postcode, "");
  EXPECT_EQ(n.fields->country, "KOREA");
  EXPECT_EQ(n.output, "(Sampyeong-dong), 7F, 235 Pangyoyeok-ro, Bundang-gu, Seongnam-si, Gyeonggi-do, KOREA");

  // The classic style has no fields.
  EXPECT_FALSE(Convert("서울 강남구").fields.has_value());
}

TEST(OfficialAddress, LongOutputIsCutAtACharacter) {
  // Each word gives "Bwekbwekbwek" and a space: far more than 1024 bytes.
  std::string text = "서울";
  while (text.size() < 1000) text += " 뷁뷁뷁";
  const Result ascii = ConvertInput(Cp(text), kOfficial);
  ASSERT_EQ(ascii.status, ConversionStatus::Address);
  EXPECT_EQ(ascii.output.size(), kOutputBufferBytes);
  // With a double-byte character standing across byte 1024, the cut comes before it.
  for (std::size_t pad = 0; pad < 2; ++pad) {
    std::string cut = "서울 " + std::string(pad, 'a');
    while (cut.size() < 900) cut += "★";
    const Result r = ConvertInput(Cp(cut + " 뷁뷁뷁 뷁뷁뷁"), kOfficial);
    ASSERT_LE(r.output.size(), kOutputBufferBytes);
    std::string utf8;
    EXPECT_TRUE(Cp949ToUtf8(r.output, utf8)) << pad;  // no half character at the end
  }
}

// Each row of the standard's table that differs from the classic one, with
// a word that needs it; the classic result beside it.
TEST(OfficialRomanization, WhereTheStandardDiffers) {
  struct {
    const char* word;
    const char* official;
    const char* classic;
  } const kCases[] = {
      {"합니다", "Hamnida", "Hapnida"},        // ㅂ + ㄴ
      {"앞날", "Amnal", "Apnal"},              // ㅍ + ㄴ
      {"앞머리", "Ammeori", "Apmeori"},        // ㅍ + ㅁ
      {"없는", "Eomneun", "Eopneun"},          // ㅄ + ㄴ
      {"값만", "Gamman", "Gapman"},            // ㅄ + ㅁ
      {"옛날", "Yennal", "Yetnal"},            // ㅅ + ㄴ
      {"옷맵시", "Onmaepsi", "Otmaepsi"},      // ㅅ + ㅁ
      {"있는", "Inneun", "Itneun"},            // ㅆ + ㄴ
      {"걷는", "Geonneun", "Geotneun"},        // ㄷ + ㄴ
      {"맏며느리", "Manmyeoneuri", "Matmyeoneuri"},  // ㄷ + ㅁ
      {"젖니", "Jeonni", "Jeotni"},            // ㅈ + ㄴ
      {"낮말", "Nanmal", "Natmal"},            // ㅈ + ㅁ
      {"꽃나무", "Kkonnamu", "Kkotnamu"},      // ㅊ + ㄴ
      {"꽃말", "Kkonmal", "Kkotmal"},          // ㅊ + ㅁ
      {"밭농사", "Bannongsa", "Batnongsa"},    // ㅌ + ㄴ
      {"부엌문", "Bueongmun", "Bueokmun"},     // ㅋ + ㅁ
      {"넋놓다", "Neongnota", "Neoknota"},     // ㄳ + ㄴ
      {"읽는", "Ingneun", "Ikneun"},           // ㄺ + ㄴ
      {"닭목", "Dangmok", "Dakmok"},           // ㄺ + ㅁ
      {"놓는", "Nonneun", "Notneun"},          // ㅎ + ㄴ
      {"감로", "Gamno", "Gamro"},              // ㅁ + ㄹ
      {"침략", "Chimnyak", "Chimryak"},        // ㅁ + ㄹ
      {"묵호", "Mukho", "Mukho"},              // ㄱ + ㅎ keeps the h...
      {"먹힌", "Meokhin", "Meokin"},           // ...also where classic aspirates
      {"막혔다", "Makhyeotda", "Makyeotda"},
      {"입학", "Iphak", "Ipak"},               // ㅂ + ㅎ
      {"집현전", "Jiphyeonjeon", "Jipyeonjeon"},
      // Unchanged rows.
      {"같이", "Gachi", "Gachi"},
      {"굳히다", "Guchida", "Guchida"},
      {"신라", "Silla", "Silla"},
      {"종로", "Jongno", "Jongno"},
      {"국물", "Gungmul", "Gungmul"},
      {"좋다", "Jota", "Jota"},
      {"여덟이", "Yeodeoli", "Yeodeoli"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Romanize(c.word, Style::Official), c.official) << c.word;
    EXPECT_EQ(Romanize(c.word, Style::Classic), c.classic) << c.word;
  }
}

// The official examples, when the list is at hand: every row marked "="
// must come out as shown, the capital letter aside.
TEST(OfficialRomanization, TheStandardsExamples) {
  const std::filesystem::path path = std::filesystem::path(JASOKIT_TEST_DATA_DIR) / "romanization-official.tsv";
  std::ifstream in(path);
  if (!in) GTEST_SKIP() << "no " << path;
  std::string line;
  int checked = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string word, official, group, mark;
    std::getline(fields, word, '\t');
    std::getline(fields, official, '\t');
    std::getline(fields, group, '\t');
    std::getline(fields, mark, '\t');
    if (mark != "=") continue;
    std::string got = Romanize(word, Style::Official);
    ASSERT_FALSE(got.empty());
    if (official[0] >= 'a' && official[0] <= 'z') official[0] = static_cast<char>(official[0] - 'a' + 'A');
    EXPECT_EQ(got, official) << word << " (" << group << ")";
    ++checked;
  }
  EXPECT_GT(checked, 50);
}

}  // namespace
}  // namespace jasokit

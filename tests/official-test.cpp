// The official style: road-name and lot addresses in the official English
// format, and the Revised Romanization of Korean for names and plain text.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "address/conversion.h"
#include "jasokit/address_db.h"
#include "jasokit/address_db_builder.h"
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
      {"(06236) 서울특별시 강남구 테헤란로 152, 3층",
       "3F, 152 Teheran-ro, Gangnam-gu, Seoul, 06236, Republic of Korea"},
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
      {"서울 중구 세종대로 110", "110 Sejong-daero, Jung-gu, Seoul, Republic of Korea"},            // 대로 over 로
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

// The street group of each form of road name, the number before it.
TEST(OfficialAddress, RoadNameForms) {
  const Case kCases[] = {
      {"가석로126번안길 5", "5 Gaseok-ro 126beonan-gil"},
      {"구마로52안길 5", "5 Guma-ro 52an-gil"},
      {"감삼남2안길 5", "5 Gamsamnam 2an-gil"},  // no type before the number
      {"운서2로안길 5", "5 Unseo 2-ro an-gil"},
      {"가정로126번1길 5", "5 Gajeong-ro 126beon 1-gil"},
      {"산격로서9길 5", "5 Sangyeok-ro seo 9-gil"},
      {"산격로 서9길 5", "5 Sangyeok-ro seo 9-gil"},
      {"중앙대로북3길 5", "5 Jungang-daero buk 3-gil"},
      {"구마로14남길 5", "5 Guma-ro 14nam-gil"},
      {"도원로동길 5", "5 Dowon-ro dong-gil"},
      {"광복마을7가길 5", "5 Gwangbongmaeul 7ga-gil"},
      {"광복마을7다길 5", "5 Gwangbongmaeul 7da-gil"},
      {"종로12번나길 5", "5 Jong-ro 12beonna-gil"},
      {"평동산단3번로 5", "5 Pyeongdongsandan 3beon-ro"},
      {"가구거리 5", "5 Gagugeori"},
      {"경인고속도로 지하 5", "B5 Gyeongin Expressway"},
      {"계변고개 5", "5 Gyebyeongogae"},
      {"2·28길 5", "5 2.28-gil"},
      {"2ㆍ28길 5", "5 2.28-gil"},
      {"5·18민주로 5", "5 5.18minju-ro"},
      // Look-alikes that are names: no number before 안, no type before a direction.
      {"골안길 5", "5 Goran-gil"},
      {"새로안길 5", "5 Saeroan-gil"},
      {"대명남1길 5", "5 Daemyeongnam 1-gil"},
      {"영동길 5", "5 Yeongdong-gil"},
  };
  for (const Case& c : kCases) {
    const Result r = Convert(std::string("서울 중구 ") + c.input, kOfficial);
    ASSERT_TRUE(r.fields.has_value()) << c.input;
    EXPECT_EQ(r.fields->street, c.output) << c.input;
  }
}

TEST(OfficialAddress, LotAddressesAndUnits) {
  const Case kCases[] = {
      {"서울 강남구 역삼1동 123-4", "123-4 Yeoksam 1-dong, Gangnam-gu, Seoul, Republic of Korea"},
      {"서울 종로구 종로3가", "Jongno 3-ga, Jongno-gu, Seoul, Republic of Korea"},
      {"경기도 화성시 봉담읍 수기리 산 12", "San 12 Sugi-ri, Bongdam-eup, Hwaseong-si, Gyeonggi-do, Republic of Korea"},
      {"경기도 화성시 봉담읍 수기리 산12", "San 12 Sugi-ri, Bongdam-eup, Hwaseong-si, Gyeonggi-do, Republic of Korea"},
      // After a myeon a name ending in 거리 is a village, not a street.
      {"충청남도 공주시 신풍면 삼거리 12",
       "12 Samgeo-ri, Sinpung-myeon, Gongju-si, Chungcheongnam-do, Republic of Korea"},
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
      {"서울특별시 강남구 테헤란로 152 (역삼동)",
       "(Yeoksam-dong), 152 Teheran-ro, Gangnam-gu, Seoul, Republic of Korea"},
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
  EXPECT_EQ(n.fields->detail, "7F, (Sampyeong-dong)");  // a note never before a floor
  EXPECT_EQ(n.fields->district, "Bundang-gu, Seongnam-si");
  EXPECT_EQ(n.fields->postcode, "");
  EXPECT_EQ(n.fields->country, "KOREA");
  EXPECT_EQ(n.output, "7F, (Sampyeong-dong), 235 Pangyoyeok-ro, Bundang-gu, Seongnam-si, Gyeonggi-do, KOREA");

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

TEST(OfficialAddress, UnitsJoinedAfterTheArenaMoves) {
  EXPECT_EQ(Official("인천광역시 옹진군 백령면 백령로 1"),
            "1 Baengnyeong-ro, Baengnyeong-myeon, Ongjin-gun, Incheon, Republic of Korea");
}

// Names of two syllables that end in no word of the address tables.
std::string GeneratedName(std::size_t i) {
  static const char* const kSyllables[] = {"백", "령", "옹", "진", "남", "북", "강", "새",
                                           "솔", "문", "한", "평", "우", "미", "초", "송"};
  return std::string(kSyllables[i % 16]) + kSyllables[(i / 16 + i + 3) % 16];
}

std::string JoinNonEmpty(const std::vector<std::string>& parts, const std::string& separator) {
  std::string out;
  for (const std::string& p : parts) {
    if (p.empty()) continue;
    if (!out.empty()) out += separator;
    out += p;
  }
  return out;
}

// An address of many units, notes and detail words, and its parts, each
// built from the romanization of its name alone.
struct GeneratedAddress {
  std::string text;
  AddressFields want;
};

GeneratedAddress MakeAddress(std::size_t units, std::size_t notes, std::size_t details, std::size_t seed) {
  struct UnitWord {
    const char* syllable;
    const char* suffix;
  };
  static const UnitWord kUnits[] = {{"시", "-si"},    {"군", "-gun"},  {"구", "-gu"}, {"읍", "-eup"},
                                    {"면", "-myeon"}, {"동", "-dong"}, {"리", "-ri"}, {"가", "-ga"}};
  const auto roman = [](const std::string& name) { return Romanize(name, Style::Official); };
  GeneratedAddress a{"경기도", {}};
  std::vector<std::string> district, noteParts, detailWords;
  for (std::size_t u = 0; u < units; ++u) {
    const std::string name = GeneratedName(u * 7 + seed);
    const UnitWord& unit = kUnits[(u + seed) % 8];
    a.text += " " + name + unit.syllable;
    district.insert(district.begin(), roman(name) + unit.suffix);
  }
  const std::string road = GeneratedName(units + seed);
  a.text += " " + road + "로 12";
  for (std::size_t k = 0; k < std::max(notes, details); ++k) {
    const std::string name = GeneratedName(k * 5 + units);
    if (k < details) {
      a.text += " " + name;
      detailWords.push_back(roman(name));
    }
    if (k < notes) {
      a.text += " (" + name + "동)";
      noteParts.push_back("(" + roman(name) + "-dong)");
    }
  }
  noteParts.push_back(JoinNonEmpty(detailWords, " "));
  a.want = {JoinNonEmpty(noteParts, ", "),
            "12 " + roman(road) + "-ro",
            JoinNonEmpty(district, ", "),
            "Gyeonggi-do",
            "",
            "Republic of Korea"};
  return a;
}

TEST(OfficialAddress, ManyUnitsNotesAndDetails) {
  for (std::size_t units = 1; units <= 24; ++units) {
    for (std::size_t extras = 0; extras < 7 * 7; extras += 6) {
      const GeneratedAddress a = MakeAddress(units, extras % 7, extras / 7, extras);
      // On a thread of its own, the converter's buffers start empty and
      // grow, moving, while the parts are joined.
      Result r;
      std::thread([&] { r = Convert(a.text, kOfficial); }).join();
      ASSERT_TRUE(r.fields.has_value()) << a.text;
      const AddressFields& f = *r.fields;
      EXPECT_EQ(f.detail, a.want.detail) << a.text;
      EXPECT_EQ(f.street, a.want.street) << a.text;
      EXPECT_EQ(f.district, a.want.district) << a.text;
      EXPECT_EQ(f.region, a.want.region) << a.text;
      EXPECT_EQ(f.postcode, a.want.postcode) << a.text;
      EXPECT_EQ(f.country, a.want.country) << a.text;
      EXPECT_EQ(r.output, JoinNonEmpty({f.detail, f.street, f.district, f.region, f.country}, ", ")) << a.text;
    }
  }
}

// The romanizations of recent names are kept in a table of fewer slots than
// the names below: names of equal length share slots, and a name must never
// be given another's romanization.
TEST(OfficialAddress, RecentNamesOfEqualLengthStayApart) {
  std::vector<std::string> names;
  for (char32_t k = 0; k < 2000; ++k) {
    std::string name;
    for (const char32_t c : {0xAC00 + k * 37 % 11172, 0xAC00 + (k * 101 + 5) % 11172}) {
      name += static_cast<char>(0xE0 | c >> 12);
      name += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      name += static_cast<char>(0x80 | (c & 0x3F));
    }
    names.push_back(name);
  }
  for (int pass = 0; pass < 2; ++pass) {
    for (const std::string& name : names) {
      ASSERT_EQ(Official("서울 " + name + "동"), Romanize(name, Style::Official) + "-dong, Seoul, Republic of Korea")
          << name;
    }
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
      {"합니다", "Hamnida", "Hapnida"},              // ㅂ + ㄴ
      {"앞날", "Amnal", "Apnal"},                    // ㅍ + ㄴ
      {"앞머리", "Ammeori", "Apmeori"},              // ㅍ + ㅁ
      {"없는", "Eomneun", "Eopneun"},                // ㅄ + ㄴ
      {"값만", "Gamman", "Gapman"},                  // ㅄ + ㅁ
      {"옛날", "Yennal", "Yetnal"},                  // ㅅ + ㄴ
      {"옷맵시", "Onmaepsi", "Otmaepsi"},            // ㅅ + ㅁ
      {"있는", "Inneun", "Itneun"},                  // ㅆ + ㄴ
      {"걷는", "Geonneun", "Geotneun"},              // ㄷ + ㄴ
      {"맏며느리", "Manmyeoneuri", "Matmyeoneuri"},  // ㄷ + ㅁ
      {"젖니", "Jeonni", "Jeotni"},                  // ㅈ + ㄴ
      {"낮말", "Nanmal", "Natmal"},                  // ㅈ + ㅁ
      {"꽃나무", "Kkonnamu", "Kkotnamu"},            // ㅊ + ㄴ
      {"꽃말", "Kkonmal", "Kkotmal"},                // ㅊ + ㅁ
      {"밭농사", "Bannongsa", "Batnongsa"},          // ㅌ + ㄴ
      {"부엌문", "Bueongmun", "Bueokmun"},           // ㅋ + ㅁ
      {"넋놓다", "Neongnota", "Neoknota"},           // ㄳ + ㄴ
      {"읽는", "Ingneun", "Ikneun"},                 // ㄺ + ㄴ
      {"닭목", "Dangmok", "Dakmok"},                 // ㄺ + ㅁ
      {"놓는", "Nonneun", "Notneun"},                // ㅎ + ㄴ
      {"감로", "Gamno", "Gamro"},                    // ㅁ + ㄹ
      {"침략", "Chimnyak", "Chimryak"},              // ㅁ + ㄹ
      {"묵호", "Mukho", "Mukho"},                    // ㄱ + ㅎ keeps the h...
      {"먹힌", "Meokhin", "Meokin"},                 // ...also where classic aspirates
      {"막혔다", "Makhyeotda", "Makyeotda"},
      {"입학", "Iphak", "Ipak"},  // ㅂ + ㅎ
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

// The data's English beyond ASCII comes back byte for byte, in UTF-8 and
// in CP949 where the character has a CP949 form.
TEST(OfficialAddress, DataEnglishBeyondAsciiPassesUnchanged) {
  struct Row {
    const char* road;
    const char* roadEn;
    const char* district;
    const char* districtEn;
    const char* text;
    const char* output;
    bool inCp949;
  };
  const Row rows[] = {
      {"3·1만세운동길", "3·1manseundong-gil", "남구", "Nam-gu", "광주광역시 남구 3·1만세운동길 13-2",
       "13-2 3·1manseundong-gil, Nam-gu, Gwangju, 61700, Republic of Korea", true},
      {"가나길", "Gaㆍna-gil", "서구", "Seo-gu", "광주광역시 서구 가나길 1",
       "1 Gaㆍna-gil, Seo-gu, Gwangju, 61701, Republic of Korea", true},
      {"다라길", "Da’ra-gil", "동구", "Dong-gu", "광주광역시 동구 다라길 1",
       "1 Da’ra-gil, Dong-gu, Gwangju, 61702, Republic of Korea", true},
      {"마바길", "Mabá-gil", "북구", "Bük-gu", "광주광역시 북구 마바길 1",
       "1 Mabá-gil, Bük-gu, Gwangju, 61703, Republic of Korea", false},
  };
  AddressDbBuilder builder;
  ASSERT_TRUE(builder.BeginText(
      "우편번호|시도|시도영문|시군구|시군구영문|읍면|읍면영문|도로명코드|도로명|도로명영문|지하여부|건물번호본번|"
      "건물번호부번|건물관리번호|다량배달처명|시군구용건물명|법정동코드|법정동명|리명|행정동명|산여부|지번본번|"
      "읍면동일련번호|지번부번|구우편번호|우편번호일련번호\n"));
  for (std::size_t k = 0; k < std::size(rows); ++k) {
    const Row& r = rows[k];
    const std::string n = std::to_string(k + 1);
    const std::string number = k == 0 ? "13|2" : "1|0";
    ASSERT_EQ(builder.AddLine("6170" + std::to_string(k) + "|광주광역시|Gwangju|" + r.district + "|" + r.districtEn +
                                  "|||" + n + "|" + r.road + "|" + r.roadEn + "|0|" + number + "|" + n + "|||" + n +
                                  "|양림동||양림동|0|" + n + "|01|0||\n",
                              k + 2),
              "");
  }
  builder.EndText("gwangju.txt", "2023-01-01");
  const std::string bytes = test::BuiltBytes(builder);
  AddressDatabase db;
  ASSERT_EQ(db.OpenBytes(bytes), AddressDbStatus::Ok);
  Options options{Style::Official, ""};
  options.database = &db;
  for (const Row& r : rows) {
    const Result result = Convert(r.text, options);
    EXPECT_EQ(result.output, r.output) << r.text;
    ASSERT_TRUE(result.fields) << r.text;
    EXPECT_EQ(result.fields->source, "database") << r.text;
    if (r.inCp949) {
      EXPECT_EQ(ConvertInput(Cp(r.text), options).output, Cp(r.output)) << r.text;
    }
  }
}

}  // namespace
}  // namespace jasokit

// Addresses as people type them, in the official style: each typed form
// with the output written out, then real Korea Post rows typed every way.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "jasokit/address_db.h"
#include "jasokit/address_db_builder.h"
#include "jasokit/convert.h"
#include "test-util.h"

namespace jasokit {
namespace {

constexpr const char* kHeader =
    "\xEF\xBB\xBF우편번호|시도|시도영문|시군구|시군구영문|읍면|읍면영문|도로명코드|도로명|도로명영문|지하여부|"
    "건물번호본번|건물번호부번|건물관리번호|다량배달처명|시군구용건물명|법정동코드|법정동명|리명|행정동명|산여부|"
    "지번본번|읍면동일련번호|지번부번|구우편번호|우편번호일련번호";

constexpr const char* kRows[] = {
    "06330|서울특별시|Seoul|강남구|Gangnam-gu|||1|개포로|Gaepo-ro|0|516|0|1||개포주공아파트|1|개포동||개포2동|0|185|"
    "01|0|135-240|",
    "06236|서울특별시|Seoul|강남구|Gangnam-gu|||2|테헤란로|Teheran-ro|0|152|0|2||강남파이낸스센터|1|역삼동||역삼1동|"
    "0|737|01|0|135-984|",
    "06329|서울특별시|Seoul|강남구|Gangnam-gu|||1|개포로|Gaepo-ro|0|512|0|3||개포종합상가|1|개포동||개포2동|0|186|"
    "01|17||",
    "06329|서울특별시|Seoul|강남구|Gangnam-gu|||1|개포로|Gaepo-ro|0|514|0|6||상가2동|1|개포동||개포2동|0|186|"
    "01|17||",
    "42600|대구광역시|Daegu|달서구|Dalseo-gu|||4|달서대로|Dalseo-daero|0|467|0|4||A동|5|감삼동||죽전동|0|50|01|0||",
    "42601|대구광역시|Daegu|달서구|Dalseo-gu|||4|달서대로|Dalseo-daero|0|467|0|5|||5|감삼동||죽전동|0|51|01|0||",
    "41911|대구광역시|Daegu|중구|Jung-gu|||6|종로|Jong-ro|0|40|0|7|||7|장관동||성내2동|0|11|01|0||",
    "42912|대구광역시|Daegu|달성군|Dalseong-gun|화원읍|Hwawon-eup|8|장길|Jang-gil|0|21|4|8|||8|화원읍|천내리|화원읍|0|"
    "100|01|0||",
};

// Builds a database of rows in memory; empty when they are refused.
std::string BuildDatabase(const std::vector<std::string>& rows) {
  AddressDbBuilder builder;
  if (!builder.BeginText(kHeader)) return {};
  std::size_t line = 1;
  for (const std::string& row : rows) builder.AddLine(row, ++line);
  builder.EndText("rows", "test");
  return test::BuiltBytes(builder);
}

struct Typed {
  const char* input;
  const char* output;
  const char* warnings;  // codes, space-separated
  const char* oldPostcode = "";
};

std::string Codes(const Result& r) {
  std::string codes;
  for (const Warning& w : r.warnings) codes += (codes.empty() ? "" : " ") + w.code;
  return codes;
}

void ExpectAll(const Typed* begin, const Typed* end, const AddressDatabase* db = nullptr) {
  Options options;
  options.style = Style::Official;
  options.database = db;
  for (const Typed* c = begin; c != end; ++c) {
    const Result r = Convert(c->input, options);
    EXPECT_EQ(r.output, c->output) << c->input;
    EXPECT_EQ(Codes(r), c->warnings) << c->input;
    ASSERT_TRUE(r.fields) << c->input;
    EXPECT_EQ(r.fields->oldPostcode, c->oldPostcode) << c->input;
    EXPECT_EQ(r.normalized, c->input);
  }
}

constexpr const char* kGaepo = "516 Gaepo-ro, Gangnam-gu, Seoul, Republic of Korea";
constexpr const char* kGaepoCode = "516 Gaepo-ro, Gangnam-gu, Seoul, 06330, Republic of Korea";

TEST(TypedForm, PostcodesAnywhere) {
  const Typed cases[] = {
      {"[06330] 서울특별시 강남구 개포로 516", kGaepoCode, ""},
      {"우편번호 06330 서울특별시 강남구 개포로 516", kGaepoCode, ""},
      {"우편번호:06330 서울특별시 강남구 개포로 516", kGaepoCode, ""},
      {"우)06330 서울특별시 강남구 개포로 516", kGaepoCode, ""},
      {"(06330)서울특별시 강남구 개포로 516", kGaepoCode, ""},
      {"서울특별시 강남구 개포로 516 [06330]", kGaepoCode, ""},
      {"서울특별시 강남구 개포로 516 (우)06330", kGaepoCode, ""},
      {"135-240 서울특별시 강남구 개포로 516", kGaepo, "old-postcode", "135-240"},
      {"(135-240) 서울특별시 강남구 개포로 516", kGaepo, "old-postcode", "135-240"},
      {"135240 서울특별시 강남구 개포로 516", kGaepo, "old-postcode", "135-240"},
      {"서울특별시 강남구 개포로 516 135-240", kGaepo, "old-postcode", "135-240"},
      {"[06330] 서울특별시 강남구 개포로 516, 3층 (135-240)",
       "3F, 516 Gaepo-ro, Gangnam-gu, Seoul, 06330, Republic of Korea", "old-postcode", "135-240"},
      // A lot number that looks like an old code stays the lot.
      {"서울특별시 강남구 개포동 135-240", "135-240 Gaepo-dong, Gangnam-gu, Seoul, Republic of Korea", ""},
  };
  ExpectAll(std::begin(cases), std::end(cases));
}

TEST(TypedForm, SpacesLeftOut) {
  const Typed cases[] = {
      {"서울특별시강남구 개포로 516", kGaepo, ""},
      {"서울시강남구개포로516", kGaepo, ""},
      {"서울 강남구 개포로516", kGaepo, ""},
      {"서울 강남구개포로516", kGaepo, ""},
      {"경기도수원시영통구 월드컵로 206", "206 Woldeukeop-ro, Yeongtong-gu, Suwon-si, Gyeonggi-do, Republic of Korea",
       ""},
      {"서울 강남구 테헤란로152길5", "5 Teheran-ro 152-gil, Gangnam-gu, Seoul, Republic of Korea", ""},
      {"서울 강남구 개포로지하420", "B420 Gaepo-ro, Gangnam-gu, Seoul, Republic of Korea", ""},
      {"서울 강남구 개포동185", "185 Gaepo-dong, Gangnam-gu, Seoul, Republic of Korea", ""},
      {"서울 강남구 개포로 516 101동1203호", "101-dong 1203-ho, 516 Gaepo-ro, Gangnam-gu, Seoul, Republic of Korea",
       ""},
      {"서울 강남구 개포로 516 3층301호", "3F 301-ho, 516 Gaepo-ro, Gangnam-gu, Seoul, Republic of Korea", ""},
      {"서울 강남구 개포로 516 B1층", "B1F, 516 Gaepo-ro, Gangnam-gu, Seoul, Republic of Korea", ""},
      {"서울 강남구 개포로 516,101동 1203호", "101-dong 1203-ho, 516 Gaepo-ro, Gangnam-gu, Seoul, Republic of Korea",
       ""},
      // A unit inside a name stays: 남동구 is one word.
      {"인천광역시 남동구 인주대로 1", "1 Inju-daero, Namdong-gu, Incheon, Republic of Korea", ""},
      // A road of one syllable is split off only where the data has it.
      {"대전광역시유성구금남구즉로100", "100 Geumnamgujeuk-ro, Yuseong-gu, Daejeon, Republic of Korea", ""},
  };
  ExpectAll(std::begin(cases), std::end(cases));
}

TEST(TypedForm, CompatibilityForms) {
  const Typed cases[] = {
      {"서울 강남구 개포로 ５１６", kGaepo, ""},
      {"［06330］ 서울 강남구 개포로 516", kGaepoCode, ""},
      {"서울 강남구 개포로 516－1", "516-1 Gaepo-ro, Gangnam-gu, Seoul, Republic of Korea", ""},
  };
  ExpectAll(std::begin(cases), std::end(cases));
  // Conjoining jamo and half-width letters are the same text written
  // another way, in either style; the echo keeps what was typed.
  const std::string decomposed = "\xE1\x84\x92\xE1\x85\xA1\xE1\x86\xAB\xE1\x84\x80\xE1\x85\xAE\xE1\x86\xA8";  // 한국
  EXPECT_EQ(Romanize(decomposed), "Hanguk");
  EXPECT_EQ(Romanize(decomposed, Style::Official), "Hanguk");
  EXPECT_EQ(Convert(decomposed).output, "Hanguk");
  EXPECT_EQ(Convert(decomposed).normalized, decomposed);
  EXPECT_EQ(Romanize("\xEF\xBE\xBE\xEF\xBF\x82\xEF\xBE\xA4"), "Han");  // ﾾￂﾤ: ㅎㅏㄴ
  EXPECT_EQ(Romanize("\xEF\xBE\xA1"), Romanize("ㄱ"));                 // a letter alone
  // CP949 has no such forms: the classic style reads its bytes as before.
  EXPECT_EQ(Convert("서울 강남구 개포로 ５１６").output, "５１６ Gaeporo Gangnam-gu Seoul S.KOREA ");
}

TEST(TypedForm, LotNumbersOfOldPapers) {
  const char* lot = "185 Gaepo-dong, Gangnam-gu, Seoul, Republic of Korea";
  const Typed cases[] = {
      {"서울 강남구 개포동 185번지", lot, ""},
      {"서울 강남구 개포동 185 번지", lot, ""},
      {"서울 강남구 개포동 185번지의 3", "185-3 Gaepo-dong, Gangnam-gu, Seoul, Republic of Korea", ""},
      {"서울 강남구 개포동 185번지의3", "185-3 Gaepo-dong, Gangnam-gu, Seoul, Republic of Korea", ""},
      {"서울 강남구 개포동 185-3번지", "185-3 Gaepo-dong, Gangnam-gu, Seoul, Republic of Korea", ""},
      {"서울 강남구 개포동 산 12번지", "San 12 Gaepo-dong, Gangnam-gu, Seoul, Republic of Korea", ""},
      {"서울 강남구 개포동 산12번지", "San 12 Gaepo-dong, Gangnam-gu, Seoul, Republic of Korea", ""},
  };
  ExpectAll(std::begin(cases), std::end(cases));
}

TEST(TypedForm, RegionAsPeopleMistypeIt) {
  const Typed cases[] = {
      {"서울특별씨 강남구 개포로 516", kGaepo, "region-read-as"},
      {"광주쾅역시 서구 상무대로 1", "1 Sangmu-daero, Seo-gu, Gwangju, Republic of Korea", "region-read-as"},
      {"세종특별시 조치원읍 군청로 93", "93 Guncheong-ro, Jochiwon-eup, Sejong-si, Republic of Korea",
       "region-read-as"},
  };
  ExpectAll(std::begin(cases), std::end(cases));
  // Two regions one jamo off: no guess (경붕 is as near 경북 as 경남... and is short).
  Options official;
  official.style = Style::Official;
  EXPECT_EQ(Convert("경붕 포항시", official).status, ConversionStatus::PlainText);
}

TEST(TypedForm, DetailsStayInTheirPlace) {
  const Typed cases[] = {
      {"서울특별시 강남구 개포로 516 ,101동 1203호",
       "101-dong 1203-ho, 516 Gaepo-ro, Gangnam-gu, Seoul, Republic of Korea", ""},
      {"서울특별시 강남구 개포로 516, 101동 1203호 (개포동, 개포주공아파트)",
       "101-dong 1203-ho, (Gaepo-dong, Gaepojugong APT.), 516 Gaepo-ro, Gangnam-gu, Seoul, Republic of Korea", ""},
      {"서울특별시 강남구 개포로 516 (개포동)", "(Gaepo-dong), 516 Gaepo-ro, Gangnam-gu, Seoul, Republic of Korea", ""},
  };
  ExpectAll(std::begin(cases), std::end(cases));
}

class TypedFormWithData : public ::testing::Test {
 protected:
  void SetUp() override {
    m_bytes = BuildDatabase({std::begin(kRows), std::end(kRows)});
    ASSERT_EQ(m_db.OpenBytes(m_bytes), AddressDbStatus::Ok);
  }
  std::string m_bytes;
  AddressDatabase m_db;
};

constexpr const char* kJanggil = "21-4 Jang-gil, Hwawon-eup, Dalseong-gun, Daegu, 42912, Republic of Korea";

TEST_F(TypedFormWithData, TheDataWinsAndSaysSo) {
  const Typed cases[] = {
      {"(06000) 서울 강남구 개포로 516", kGaepoCode, "postcode-differs"},
      {"서울 강남구 개포로 516 06000", kGaepoCode, "postcode-differs"},
      {"135-240 서울특별시 강남구 개포로 516", kGaepoCode, "old-postcode", "135-240"},
      {"서울 강남 개포로 516", kGaepoCode, "region-read-as"},
      {"서울 강남구 개포동 185번지", kGaepoCode, ""},
      {"서울시강남구개포로516", kGaepoCode, ""},
      {"대구광역시중구종로40", "40 Jong-ro, Jung-gu, Daegu, 41911, Republic of Korea", ""},
      {"대구광역시달성군화원읍장길21-4", kJanggil, ""},
      {"대구광역시달성군 화원읍장길 21-4", kJanggil, ""},
      {"서울특별씨 강남구 테헤란로 152", "152 Teheran-ro, Gangnam-gu, Seoul, 06236, Republic of Korea",
       "region-read-as"},
  };
  ExpectAll(std::begin(cases), std::end(cases), &m_db);
}

// Where the data gives no building, or more than one: the rules' answer, the
// reason, and real addresses near; one road one jamo off is read.
TEST_F(TypedFormWithData, NeverConfidentlyWrong) {
  struct Case {
    const char* input;
    const char* output;
    const char* warnings;
    std::vector<std::string> suggestions;  // address (postcode)
  };
  const Case cases[] = {
      {"서울 강남구 개포르 516", kGaepoCode, "corrected", {"서울특별시 강남구 개포로 516 (개포주공아파트) 06330"}},
      {"서울 강남구 개퍼르 516",
       "Gaepeoreu 516, Gangnam-gu, Seoul, Republic of Korea",
       "unknown-road",
       {"서울특별시 강남구 개포로 516 (개포주공아파트) 06330"}},
      {"서울 강남구 ㄱㅍㄹ 516",
       "ㄱㅍㄹ 516, Gangnam-gu, Seoul, Republic of Korea",
       "unknown-road",
       {"서울특별시 강남구 개포로 516 (개포주공아파트) 06330"}},
      {"서울특별시 강남구 개포로 513",
       "513 Gaepo-ro, Gangnam-gu, Seoul, Republic of Korea",
       "unknown-building",
       {"서울특별시 강남구 개포로 512 (개포종합상가) 06329", "서울특별시 강남구 개포로 514 (상가2동) 06329",
        "서울특별시 강남구 개포로 516 (개포주공아파트) 06330"}},
      {"대구광역시 달서구 달서대로 467",
       "467 Dalseo-daero, Dalseo-gu, Daegu, Republic of Korea",
       "ambiguous",
       {"대구광역시 달서구 달서대로 467 (A동) 42600", "대구광역시 달서구 달서대로 467 42601"}},
      {"서울 강남구 개포동 186-17번지",
       "186-17 Gaepo-dong, Gangnam-gu, Seoul, 06329, Republic of Korea",
       "ambiguous",
       {"서울특별시 강남구 개포로 512 (개포종합상가) 06329", "서울특별시 강남구 개포로 514 (상가2동) 06329"}},
      // A district the data does not cover says nothing of its roads.
      {"서울 종로구 세종대로 175", "175 Sejong-daero, Jongno-gu, Seoul, Republic of Korea", "", {}},
      {"강남구 개포르 516", "Gangnamgu gaeporeu 516", "not-an-address", {}},
  };
  Options options;
  options.style = Style::Official;
  options.database = &m_db;
  for (const Case& c : cases) {
    const Result r = Convert(c.input, options);
    EXPECT_EQ(r.output, c.output) << c.input;
    EXPECT_EQ(Codes(r), c.warnings) << c.input;
    std::vector<std::string> got;
    for (const Suggestion& s : r.suggestions) got.push_back(s.address + " " + s.postcode);
    EXPECT_EQ(got, c.suggestions) << c.input;
  }
  const Result r = Convert("서울 강남구 개포르 516", options);
  ASSERT_EQ(r.suggestions.size(), 1u);
  EXPECT_EQ(r.suggestions[0].english, "516 Gaepo-ro, Gangnam-gu, Seoul");
  ASSERT_TRUE(r.fields);
  EXPECT_EQ(r.fields->source, "database");
}

// ---- Real rows, typed every way --------------------------------------------

struct Row {
  std::string postcode, region, regionEn, city, cityEn, road, roadEn, number;
  bool basement = false;
  std::string dong, lot;  // the lot address's locality and number ("산 12", "185-3")
};

std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> f;
  std::size_t start = 0;
  for (;;) {
    const std::size_t bar = line.find('|', start);
    f.push_back(line.substr(start, bar - start));
    if (bar == std::string::npos) return f;
    start = bar + 1;
  }
}

std::string FullWidth(const std::string& ascii) {
  std::string out;
  for (const char c : ascii) {
    if (c >= '0' && c <= '9') {
      out += "\xEF\xBC";
      out += static_cast<char>(0x90 + (c - '0'));
    } else {
      out += c;
    }
  }
  return out;
}

// The typed forms of a row, by name; "" where a form does not apply.
std::map<std::string, std::string> Forms(const Row& r) {
  const std::string number = (r.basement ? "지하 " : "") + r.number;
  const std::string street = r.road + " " + number;
  const std::string clean = r.region + " " + r.city + " " + street;
  std::map<std::string, std::string> f;
  f["clean"] = clean;
  f["round code"] = "(" + r.postcode + ") " + clean;
  f["square code"] = "[" + r.postcode + "] " + clean;
  f["labelled code"] = "우편번호 " + r.postcode + " " + clean;
  f["code at the end"] = clean + " " + r.postcode;
  f["region and city joined"] = r.region + r.city + " " + street;
  f["road and number joined"] = r.region + " " + r.city + " " + r.road + (r.basement ? "지하" : "") + r.number;
  f["no spaces"] = r.region + r.city + r.road + (r.basement ? "지하" : "") + r.number;
  f["full-width number"] =
      r.region + " " + r.city + " " + r.road + " " + (r.basement ? "지하 " : "") + FullWidth(r.number);
  f["details joined"] = clean + " 101동1203호";
  // With the data only: what the text does not say, or says wrongly.
  f["wrong code (data)"] = "(00000) " + clean;
  if (r.city.size() > 3)
    f["district without unit (data)"] = r.region + " " + r.city.substr(0, r.city.size() - 3) + " " + street;
  if (!r.dong.empty()) f["lot with 번지 (data)"] = r.region + " " + r.city + " " + r.dong + " " + r.lot + "번지";
  return f;
}

TEST(TypedFormRows, RealRowsTypedEveryWay) {
  std::ifstream in(std::string(JASOKIT_TEST_DATA_DIR) + "/korea-post/seoul-gangnam-2023-part1.txt");
  if (!in) GTEST_SKIP() << "no Korea Post rows";
  std::string line;
  std::getline(in, line);
  std::vector<std::string> lines;
  std::vector<Row> rows;
  while (std::getline(in, line)) {
    const std::vector<std::string> f = Split(line);
    if (f.size() != 26 || !f[5].empty()) continue;  // rows with a town are typed with it; left out here
    const std::string lot = (f[20] == "1" ? "산 " : "") + f[21] + (f[23] == "0" ? "" : "-" + f[23]);
    Row r{f[0],         f[1],  f[2], f[3], f[4], f[8], f[9], f[11] + (f[12] == "0" ? "" : "-" + f[12]),
          f[10] == "1", f[17], lot};
    lines.push_back(line);
    rows.push_back(r);
  }
  ASSERT_FALSE(rows.empty());
  AddressDbBuilder builder;
  ASSERT_TRUE(builder.BeginText(kHeader));
  for (std::size_t k = 0; k < lines.size(); ++k) builder.AddLine(lines[k], k + 2);
  builder.EndText("gangnam", "2023-12-05");
  const std::string image = test::BuiltBytes(builder);
  AddressDatabase db;
  ASSERT_EQ(db.OpenBytes(image), AddressDbStatus::Ok);

  Options withData, rulesOnly;
  withData.style = rulesOnly.style = Style::Official;
  withData.database = &db;
  std::map<std::string, std::size_t> misses, sameWithoutData;
  std::size_t cases = 0;
  for (const Row& r : rows) {
    // The building as the data names it: its number, road, district and code.
    const std::string street = (r.basement ? "B" : "") + r.number + " " + r.roadEn;
    const std::string place = ", " + r.cityEn + ", " + r.regionEn + ", " + r.postcode + ", Republic of Korea";
    const std::map<std::string, std::string> forms = Forms(r);
    const std::string cleanRules = Convert(forms.at("clean"), rulesOnly).output;
    for (const auto& [name, text] : forms) {
      ++cases;
      const std::string want = (name == "details joined" ? "101-dong 1203-ho, " : "") + street + place;
      const Result got = Convert(text, withData);
      // Buildings that share a lot are named as candidates, not guessed.
      const bool shared = !got.warnings.empty() && got.warnings.back().code == "ambiguous";
      if (got.output != want && !shared) ++misses[name];
      if (name.find("(data)") != std::string::npos) continue;
      std::string rules = Convert(text, rulesOnly).output;
      if (name != "details joined" && name.find("code") == std::string::npos && rules != cleanRules) {
        ++sameWithoutData[name];
      }
    }
  }
  std::size_t missed = 0;
  for (const auto& [name, n] : misses) {
    missed += n;
    EXPECT_LE(n * 100, rows.size() * 3) << name << ": " << n << " of " << rows.size();
  }
  EXPECT_LE(missed * 100, cases) << missed << " of " << cases;
  for (const auto& [name, n] : sameWithoutData) EXPECT_LE(n * 100, rows.size()) << name << " without data: " << n;
}

}  // namespace
}  // namespace jasokit

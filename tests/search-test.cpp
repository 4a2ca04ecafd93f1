// The ranked search, one row per kind of query, on real Korea Post rows
// (skipped without them), and the keys it finds typed text by.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "addrdb/hangul_keys.h"
#include "jasokit/address_db.h"
#include "jasokit/address_db_builder.h"

namespace jasokit {
namespace {

constexpr const char* kGangnam = JASOKIT_TEST_DATA_DIR "/korea-post/seoul-gangnam-2023-part1.txt";

class SearchTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::ifstream in(kGangnam, std::ios::binary);
    if (!in) return;
    AddressDbBuilder builder;
    std::string line;
    std::getline(in, line);
    if (!builder.BeginText(line)) return;
    for (std::size_t n = 2; std::getline(in, line); ++n) builder.AddLine(line, n);
    builder.EndText("gangnam", "2023-12-05");
    std::ostringstream out;
    builder.Write(out);
    s_bytes = new std::string(out.str());
    s_db = new AddressDatabase;
    if (s_db->OpenBytes(*s_bytes) != AddressDbStatus::Ok) s_db = nullptr;
  }
  void SetUp() override {
    if (!s_db) GTEST_SKIP() << "no " << kGangnam;
  }
  static std::string* s_bytes;
  static AddressDatabase* s_db;
};
std::string* SearchTest::s_bytes = nullptr;
AddressDatabase* SearchTest::s_db = nullptr;

constexpr const char* k516 = "서울특별시 강남구 개포로 516 (개포주공아파트)";
constexpr const char* kGheim = "서울특별시 강남구 개포로17길 9-3 (G-heim)";

TEST_F(SearchTest, FindsWhatPeopleType) {
  struct Case {
    const char* query;
    const char* first;  // the first match's address
    int score;
    const char* matched;
  };
  const Case cases[] = {
      {"개포로 516", k516, 100, "address"},
      {"개포로 516 101동 1203호", k516, 100, "address"},
      {"서울특별시 강남구 개포로 516, 101동 1203호", k516, 100, "address"},
      {"강남구개포로516", k516, 100, "address"},
      {"개포로 17길 9-3", kGheim, 100, "address"},
      {"개포르 516", k516, 85, "fuzzy"},
      {"개표로 516", k516, 85, "fuzzy"},
      {"516 Gaepo-ro, Gangnam-gu", k516, 100, "english"},
      {"gaepo-ro 516", k516, 100, "english"},
      {"Gaeporo 516", k516, 100, "english"},
      {"개포 주공", k516, 85, "building"},
      {"G-heim ", kGheim, 90, "building"},
      {"논현로8", "서울특별시 강남구 논현로8길 3", 100, "road"},
      {"ㄱㅍㄹ 516", k516, 80, "fuzzy"},
      {"rovhfh 516", k516, 90, "fuzzy"},
      {"강남구 개포동 185번지", k516, 100, "lot"},
      {"개포동 185", k516, 100, "lot"},
      {"개포동", "서울특별시 강남구 개포로109길 5 (대치아파트)", 72, "dong"},  // the first of its lot 12
      {"06330", k516, 100, "postcode"},
      // Decomposed: 개포로 as conjoining jamo.
      {"\u1100\u1162\u1111\u1169\u1105\u1169 516", k516, 100, "address"},
  };
  for (const Case& c : cases) {
    const AddressLookupResult r = s_db->Lookup(c.query, 3);
    ASSERT_FALSE(r.matches.empty()) << c.query;
    EXPECT_EQ(r.matches[0].address, c.first) << c.query;
    EXPECT_EQ(r.matches[0].score, c.score) << c.query;
    EXPECT_EQ(r.matches[0].matched, c.matched) << c.query;
  }
}

TEST_F(SearchTest, CountsWhatTheLimitLeavesAndSaysWhatTheDataLacks) {
  // 1,351 buildings in the dong of these rows.
  const AddressLookupResult dong = s_db->Lookup("개포동", 8);
  EXPECT_EQ(dong.matches.size(), 8u);
  EXPECT_EQ(dong.matches.size() + dong.more, 1351u);
  // The same road narrowed by its district: all of it, nothing else.
  const AddressLookupResult road = s_db->Lookup("강남구 ㄱㅍㄹ", 1);
  EXPECT_EQ(road.matches.at(0).matched, "fuzzy");
  const AddressLookupResult old = s_db->Lookup("135-080");
  EXPECT_TRUE(old.matches.empty());
  EXPECT_EQ(old.note, "the data has no six-digit postcodes");
  EXPECT_TRUE(s_db->Lookup("   ").matches.empty());
}

TEST(HangulKeysTest, ReadsTypedText) {
  using namespace detail::addrdb;
  struct Layout {
    const char* typed;
    const char* hangul;
  };
  const Layout layouts[] = {
      {"rovhfh 516", "개포로 516"}, {"xpgpfksfh", "테헤란로"}, {"dkswnd", "안중"}, {"RKQT", ""},
      {"dhkswjs", "완전"},          {"qkfrdms", "밝은"},
  };
  for (const Layout& l : layouts) EXPECT_EQ(FromKeyboardLayout(l.typed), l.hangul) << l.typed;
  EXPECT_EQ(InitialsOf("개포로17길"), "ㄱㅍㄹ17ㄱ");
  EXPECT_TRUE(IsInitials("ㄱㅍㄹ"));
  EXPECT_FALSE(IsInitials("ㄱㅍ로"));
  EXPECT_EQ(EnglishKey("Gaepo-ro 17-gil"), "gaeporo17gil");
  struct Slip {
    const char* a;
    const char* b;
    unsigned distance;
  };
  const Slip slips[] = {{"개포로", "개포르", 1},
                        {"개포로", "개표로", 1},
                        {"테헤란로", "테혜란로", 1},
                        {"테헤란로", "태혜란로", 2},
                        {"개포로", "논현로", 3}};
  for (const Slip& s : slips) EXPECT_EQ(JamoDistance(JamoOf(s.a), JamoOf(s.b), 2), s.distance) << s.b;
}

}  // namespace
}  // namespace jasokit

// Personal names: the rule's own examples, both family-name tables, the
// two-syllable family names and the options.
#include "jasokit/name.h"

#include <gtest/gtest.h>

#include <string>

#include "jasokit/convert.h"

namespace jasokit {
namespace {

struct NameCase {
  const char* input;
  const char* common;  // default options
  const char* rr;      // --surname rr
};

// The first four are the examples of the rule for personal names; 홍빛나 also
// shows a final written as at a word's end (ㅊ t).
constexpr NameCase kNames[] = {
    {"민용하", "Min Yongha", "Min Yongha"},
    {"송나리", "Song Nari", "Song Nari"},
    {"한복남", "Han Boknam", "Han Boknam"},
    {"홍빛나", "Hong Bitna", "Hong Bitna"},
    // No sound change, no final carried over, ㄹ after a final kept r.
    {"이석남", "Lee Seoknam", "I Seoknam"},
    {"이주은", "Lee Jueun", "I Jueun"},
    {"김한라", "Kim Hanra", "Gim Hanra"},
    {"박길례", "Park Gilrye", "Bak Gilrye"},
    {"정국희", "Jung Gukhui", "Jeong Gukhui"},
    // Family names the passport figures cover, and one they do not.
    {"최지우", "Choi Jiu", "Choe Jiu"},
    {"강감찬", "Kang Gamchan", "Gang Gamchan"},
    {"윤동주", "Yoon Dongju", "Yun Dongju"},
    {"유관순", "Yoo Gwansun", "Yu Gwansun"},
    {"신사임당", "Shin Saimdang", "Sin Saimdang"},
    {"임꺽정", "Lim Kkeokjeong", "Im Kkeokjeong"},
    {"권율", "Kwon Yul", "Gwon Yul"},
    {"조용필", "Cho Yongpil", "Jo Yongpil"},
    {"오세영", "Oh Seyeong", "O Seyeong"},
    {"팽현숙", "Paeng Hyeonsuk", "Paeng Hyeonsuk"},
    // Two-syllable family names: four syllables, three, and a space deciding.
    {"제갈공명", "Jegal Gongmyeong", "Jegal Gongmyeong"},
    {"남궁민", "Namgung Min", "Namgung Min"},
    {"황보 영", "Hwangbo Yeong", "Hwangbo Yeong"},
    {"황 보라", "Hwang Bora", "Hwang Bora"},
    {"김 연아", "Kim Yeona", "Gim Yeona"},
    {"  선우  은숙 ", "Seonu Eunsuk", "Seonu Eunsuk"},
    {"홍 길 동", "Hong Gil Dong", "Hong Gil Dong"},
    // Only the two-syllable family names of the table are taken whole.
    {"김이나", "Kim Ina", "Gim Ina"},
    {"이", "Lee", "I"},
    // Characters that are not Hangul syllables pass through.
    {"홍길동2", "Hong Gildong2", "Hong Gildong2"},
    {"김 jane", "Kim jane", "Gim jane"},
    {"Smith", "Smith", "Smith"},
    // Direction marks and zero-width characters are dropped, other spaces read as a space.
    {"\u200F김연아", "Kim Yeona", "Gim Yeona"},
    {"\u202B김연아\u202C", "Kim Yeona", "Gim Yeona"},
    {"\uFEFF김\u200B연아", "Kim Yeona", "Gim Yeona"},
    {"김\u00A0연아", "Kim Yeona", "Gim Yeona"},
    {"\u00A0황\u3000보라\u00A0", "Hwang Bora", "Hwang Bora"},
};

TEST(RomanizeName, WritesEachSyllableWithItsOwnLetters) {
  NameOptions rr;
  rr.surnames = SurnameTable::Rr;
  for (const NameCase& c : kNames) {
    EXPECT_EQ(RomanizeName(c.input).output, c.common) << c.input;
    EXPECT_EQ(RomanizeName(c.input, rr).output, c.rr) << c.input;
  }
}

TEST(RomanizeName, TellsTheFamilyNameTheGivenNameAndTheTableUsed) {
  const NameResult kim = RomanizeName("김연아");
  EXPECT_TRUE(kim.isName);
  EXPECT_EQ(kim.family, "Kim");
  EXPECT_EQ(kim.given, "Yeona");
  EXPECT_EQ(kim.surnameTable, SurnameTable::Common);
  // A family name the survey does not cover is spelled, and reported, as rr.
  EXPECT_EQ(RomanizeName("팽율").surnameTable, SurnameTable::Rr);
  EXPECT_EQ(RomanizeName("남궁민").family, "Namgung");
}

TEST(RomanizeName, Options) {
  struct OptionCase {
    bool hyphen, givenFirst, upper;
    const char* output;
  };
  constexpr OptionCase kCases[] = {
      {true, false, false, "Hong Gil-dong"},
      {false, true, false, "Gildong Hong"},
      {false, false, true, "HONG GILDONG"},
      {true, true, true, "GIL-DONG HONG"},
  };
  for (const OptionCase& c : kCases) {
    NameOptions o;
    o.hyphen = c.hyphen;
    o.givenFirst = c.givenFirst;
    o.upper = c.upper;
    EXPECT_EQ(RomanizeName("홍길동", o).output, c.output);
  }
  NameOptions hyphen;
  hyphen.hyphen = true;
  // Hyphens go between syllables only.
  EXPECT_EQ(RomanizeName("김 민2수", hyphen).output, "Kim Min2su");
}

TEST(RomanizeName, AnythingButANameIsRomanizedAsText) {
  for (const char* text : {"", "   ", "대한민국만세다", "서울특별시청 앞"}) {
    const NameResult r = RomanizeName(text);
    EXPECT_FALSE(r.isName) << text;
    EXPECT_EQ(r.output, Romanize(text, Style::Official)) << text;
    EXPECT_TRUE(r.family.empty() && r.given.empty());
  }
  EXPECT_TRUE(RomanizeName("독고영재환 진").isName);  // five syllables before the space
  EXPECT_FALSE(RomanizeName("독고영재환진 이").isName);
}

TEST(RomanizeName, InvalidUtf8BecomesReplacementAndNulEndsTheText) {
  EXPECT_EQ(RomanizeName("김\xFF").output, "Kim \xEF\xBF\xBD");
  EXPECT_EQ(RomanizeName(std::string("김연\0아", 8)).output, "Kim Yeon");
}

TEST(SurnameTable, NamesReadBack) {
  for (SurnameTable t : {SurnameTable::Common, SurnameTable::Rr}) {
    SurnameTable back{};
    ASSERT_TRUE(ParseSurnameTable(SurnameTableName(t), back));
    EXPECT_EQ(back, t);
  }
  SurnameTable t{};
  EXPECT_FALSE(ParseSurnameTable("Common", t));
}

}  // namespace
}  // namespace jasokit

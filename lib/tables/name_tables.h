#pragma once
// Family names for the name romanizer, searched from the first row.
#include <string_view>

namespace jasokit::detail {

struct SurnameRow {
  char16_t syllable;
  std::string_view spelling;
};

// The spelling most passports carry, for the family names whose passport
// spellings have been published:
//   [A] Ministry of Foreign Affairs, passport romanization statistics as of
//       31 October 2024, as summarised at engnaming.com/guides/surname-statistics
//       (KIM 99.55%, LEE 98.77%, PARK 96.59%, CHOI 94.45%, JUNG 46.13% before
//       JEONG 42.48%);
//   [B] the 2007 passport data quoted by the National Institute of the Korean
//       Language with its second surname proposal (news of 25 June 2009:
//       Yoo 42.6%, Yoon 48.9%, Shin 91.7%; 김 and 강 mostly with K);
//   [C] the passport statistics quoted at
//       tools.moneynestlab.com/en/guides/passport-english-name (Kang 95.9%,
//       Lim 62%);
//   [D] the frequency table of the 2007 passport records behind [B], as
//       reproduced in published surname lists: the most frequent spelling of
//       each of the other common family names of the census. Where it equals
//       the standard spelling the row is listed all the same, so the table
//       says what passports carry.
// Family names in none of these are written with the standard letters.
inline constexpr SurnameRow kCommonSurnames[] = {
    {0xAE40, "Kim"},    // 김 [A]
    {0xC774, "Lee"},    // 이 [A]
    {0xBC15, "Park"},   // 박 [A]
    {0xCD5C, "Choi"},   // 최 [A]
    {0xC815, "Jung"},   // 정 [A]
    {0xAC15, "Kang"},   // 강 [B] [C]
    {0xC724, "Yoon"},   // 윤 [B]
    {0xC720, "Yoo"},    // 유 [B]
    {0xC2E0, "Shin"},   // 신 [B]
    {0xC784, "Lim"},    // 임 [C]
    {0xC870, "Cho"},    // 조 [D]
    {0xC7A5, "Jang"},   // 장 [D]
    {0xD55C, "Han"},    // 한 [D]
    {0xC624, "Oh"},     // 오 [D]
    {0xC11C, "Seo"},    // 서 [D]
    {0xAD8C, "Kwon"},   // 권 [D]
    {0xD669, "Hwang"},  // 황 [D]
    {0xC548, "Ahn"},    // 안 [D]
    {0xC1A1, "Song"},   // 송 [D]
    {0xC804, "Jeon"},   // 전 [D]
    {0xD64D, "Hong"},   // 홍 [D]
    {0xACE0, "Ko"},     // 고 [D]
    {0xBB38, "Moon"},   // 문 [D]
    {0xC591, "Yang"},   // 양 [D]
    {0xC190, "Son"},    // 손 [D]
    {0xBC30, "Bae"},    // 배 [D]
    {0xBC31, "Baek"},   // 백 [D]
    {0xD5C8, "Heo"},    // 허 [D]
    {0xB0A8, "Nam"},    // 남 [D]
    {0xC2EC, "Shim"},   // 심 [D]
    {0xB178, "Noh"},    // 노 [D]
    {0xD558, "Ha"},     // 하 [D]
    {0xACFD, "Kwak"},   // 곽 [D]
    {0xC131, "Sung"},   // 성 [D]
    {0xCC28, "Cha"},    // 차 [D]
    {0xC8FC, "Joo"},    // 주 [D]
    {0xC6B0, "Woo"},    // 우 [D]
    {0xAD6C, "Koo"},    // 구 [D]
    {0xBBFC, "Min"},    // 민 [D]
    {0xB958, "Ryu"},    // 류 [D]
    {0xB098, "Na"},     // 나 [D]
    {0xC9C4, "Jin"},    // 진 [D]
    {0xC9C0, "Ji"},     // 지 [D]
    {0xC5C4, "Eom"},    // 엄 [D]
    {0xCC44, "Chae"},   // 채 [D]
    {0xC6D0, "Won"},    // 원 [D]
    {0xCC9C, "Cheon"},  // 천 [D]
    {0xBC29, "Bang"},   // 방 [D]
    {0xACF5, "Kong"},   // 공 [D]
    {0xD604, "Hyun"},   // 현 [D]
    {0xD568, "Ham"},    // 함 [D]
    {0xBCC0, "Byun"},   // 변 [D]
    {0xC5FC, "Yeom"},   // 염 [D]
    {0xC5EC, "Yeo"},    // 여 [D]
    {0xCD94, "Choo"},   // 추 [D]
    {0xB3C4, "Do"},     // 도 [D]
    {0xC18C, "So"},     // 소 [D]
    {0xC11D, "Seok"},   // 석 [D]
    {0xC120, "Sun"},    // 선 [D]
    {0xC124, "Seol"},   // 설 [D]
    {0xB9C8, "Ma"},     // 마 [D]
    {0xAE38, "Gil"},    // 길 [D]
    {0xC5F0, "Yeon"},   // 연 [D]
    {0xC704, "Wi"},     // 위 [D]
    {0xD45C, "Pyo"},    // 표 [D]
    {0xBA85, "Myung"},  // 명 [D]
    {0xAE30, "Ki"},     // 기 [D]
    {0xBC18, "Ban"},    // 반 [D]
    {0xB77C, "Ra"},     // 라 [D]
    {0xC655, "Wang"},   // 왕 [D]
    {0xAE08, "Keum"},   // 금 [D]
    {0xC625, "Ok"},     // 옥 [D]
    {0xC721, "Yuk"},    // 육 [D]
    {0xC778, "In"},     // 인 [D]
    {0xB9F9, "Maeng"},  // 맹 [D]
    {0xC81C, "Je"},     // 제 [D]
    {0xBAA8, "Mo"},     // 모 [D]
    {0xD0C1, "Tak"},    // 탁 [D]
    {0xAD6D, "Kook"},   // 국 [D]
    {0xC5B4, "Eo"},     // 어 [D]
    {0xC740, "Eun"},    // 은 [D]
    {0xD3B8, "Pyun"},   // 편 [D]
};

// The two-syllable family names of the 2000 census of Statistics Korea.
struct TwoSyllableSurname {
  char16_t first;
  char16_t second;
};
inline constexpr TwoSyllableSurname kTwoSyllableSurnames[] = {
    {0xB0A8, 0xAD81},  // 남궁
    {0xD669, 0xBCF4},  // 황보
    {0xC81C, 0xAC08},  // 제갈
    {0xC0AC, 0xACF5},  // 사공
    {0xC120, 0xC6B0},  // 선우
    {0xC11C, 0xBB38},  // 서문
    {0xB3C5, 0xACE0},  // 독고
    {0xB3D9, 0xBC29},  // 동방
    {0xC7A5, 0xACE1},  // 장곡
    {0xC5B4, 0xAE08},  // 어금
    {0xAC15, 0xC804},  // 강전
    {0xC18C, 0xBD09},  // 소봉
    {0xB9DD, 0xC808},  // 망절
};

}  // namespace jasokit::detail

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
//       Lim 62%).
// Those sources are silent on the other common family names of the 2015
// census (조 장 한 오 서 권 황 안 송 전 홍 고 문 양 손 배 백 허 남 심 노 하 곽
// 성 차 주 우 구 민 류 나 진 지 엄 채 원 천 방 공 현 함 변 염 여 추 도 소 석 선
// 설 마 길 연 위 표 명 기 반 라 왕 금 옥 육 인 맹 제 모 탁 국 어 은 편 and the
// two-syllable ones): they are written with the Revised Romanization's letters
// until a published figure gives their passport spelling.
inline constexpr SurnameRow kCommonSurnames[] = {
    {0xAE40, "Kim"},   // 김 [A]
    {0xC774, "Lee"},   // 이 [A]
    {0xBC15, "Park"},  // 박 [A]
    {0xCD5C, "Choi"},  // 최 [A]
    {0xC815, "Jung"},  // 정 [A]
    {0xAC15, "Kang"},  // 강 [B] [C]
    {0xC724, "Yoon"},  // 윤 [B]
    {0xC720, "Yoo"},   // 유 [B]
    {0xC2E0, "Shin"},  // 신 [B]
    {0xC784, "Lim"},   // 임 [C]
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

#pragma once
// The pair rule between two neighbouring Hangul syllables, as data: for the
// current syllable's final, the first row whose condition on the next
// syllable holds gives the final's code and the next syllable's initial.
// One table per style.
#include <cstddef>
#include <cstdint>

#include "romanize/sound_tables.h"

namespace jasokit::detail {

// Jamo indices, in the order of Unicode's syllable composition.
enum Initial : std::uint8_t {
  kIniG,
  kIniKk,
  kIniN,
  kIniD,
  kIniTt,
  kIniR,
  kIniM,
  kIniB,
  kIniPp,
  kIniS,
  kIniSs,
  kIniIeung,
  kIniJ,
  kIniJj,
  kIniCh,
  kIniK,
  kIniT,
  kIniP,
  kIniH,
};
enum Medial : std::uint8_t { kMedEo = 4, kMedYeo = 6, kMedEu = 18, kMedI = 20 };
enum Final : std::uint8_t {
  kFinNone,
  kFinG,
  kFinKk,
  kFinGs,
  kFinN,
  kFinNj,
  kFinNh,
  kFinD,
  kFinL,
  kFinLg,
  kFinLm,
  kFinLb,
  kFinLs,
  kFinLt,
  kFinLp,
  kFinLh,
  kFinM,
  kFinB,
  kFinBs,
  kFinS,
  kFinSs,
  kFinNg,
  kFinJ,
  kFinCh,
  kFinK,
  kFinT,
  kFinP,
  kFinH,
};
inline constexpr int kFinalKinds = 28;

// A set of next initials.
using InitialSet = std::uint32_t;
template <typename... I>
constexpr InitialSet Before(I... initials) {
  return ((InitialSet{1} << initials) | ...);
}
inline constexpr InitialSet kAnyNext = (InitialSet{1} << 19) - 1;

// What else a row asks of the two syllables.
enum class Also : std::uint8_t {
  Nothing,
  NextPalatal,     // the next vowel is ㅕ or ㅣ
  NextAspiratesH,  // the next syllable is 힌, 힐 and the like, or 혔
  CurrentIsDeol,   // the current syllable is 덟
  NextVowelIOrEu,  // the next vowel is ㅣ or ㅡ
};

// The next syllable keeps the initial its own jamo gives it.
inline constexpr SoundCode kKeepNext = 0xFFFF;

struct PairRule {
  Final final;
  InitialSet next;
  Also also;
  SoundCode finalCode;
  SoundCode nextInitial;
};

// The 2003 table.
inline constexpr PairRule kClassicPairRules[] = {
    {kFinG, Before(kIniN), Also::Nothing, kSndNg, kSndN},
    {kFinG, Before(kIniM), Also::Nothing, kSndNg, kSndM},
    {kFinG, Before(kIniR), Also::Nothing, kSndNg, kSndN},
    {kFinG, Before(kIniIeung), Also::Nothing, kSndNone, kSndG},
    {kFinG, Before(kIniH), Also::NextAspiratesH, kSndNone, kSndIniK},
    {kFinG, Before(kIniH), Also::Nothing, kSndFinK, kSndH},
    {kFinG, kAnyNext, Also::Nothing, kSndFinK, kKeepNext},

    {kFinKk, Before(kIniN), Also::Nothing, kSndNg, kSndN},
    {kFinKk, Before(kIniM), Also::Nothing, kSndNg, kSndM},
    {kFinKk, Before(kIniR), Also::Nothing, kSndNg, kSndN},
    {kFinKk, Before(kIniIeung), Also::Nothing, kSndNone, kSndKk},
    {kFinKk, Before(kIniH), Also::NextAspiratesH, kSndNone, kSndIniK},
    {kFinKk, Before(kIniH), Also::Nothing, kSndKk, kSndH},
    {kFinKk, kAnyNext, Also::Nothing, kSndKk, kKeepNext},

    {kFinGs, Before(kIniIeung), Also::Nothing, kSndFinK, kSndS},
    {kFinGs, kAnyNext, Also::Nothing, kSndFinK, kKeepNext},

    {kFinN, Before(kIniR), Also::Nothing, kSndL, kSndL},
    {kFinN, kAnyNext, Also::Nothing, kSndN, kKeepNext},

    {kFinNj, Before(kIniIeung), Also::Nothing, kSndN, kSndJ},
    {kFinNj, kAnyNext, Also::Nothing, kSndN, kKeepNext},

    {kFinNh, Before(kIniG), Also::Nothing, kSndN, kSndIniK},
    {kFinNh, Before(kIniD), Also::Nothing, kSndN, kSndIniT},
    {kFinNh, Before(kIniB), Also::Nothing, kSndN, kSndIniP},
    {kFinNh, Before(kIniJ), Also::Nothing, kSndN, kSndCh},
    {kFinNh, Before(kIniIeung), Also::Nothing, kSndNone, kSndN},
    {kFinNh, kAnyNext, Also::Nothing, kSndN, kKeepNext},

    {kFinD, Before(kIniIeung), Also::NextPalatal, kSndNone, kSndJ},
    {kFinD, Before(kIniH), Also::NextPalatal, kSndNone, kSndCh},
    {kFinD, kAnyNext, Also::Nothing, kSndFinT, kKeepNext},

    {kFinL, Before(kIniN, kIniR), Also::Nothing, kSndL, kSndL},
    {kFinL, Before(kIniIeung), Also::Nothing, kSndNone, kSndR},
    {kFinL, kAnyNext, Also::Nothing, kSndL, kKeepNext},

    {kFinLg, Before(kIniIeung), Also::Nothing, kSndL, kSndG},
    {kFinLg, Before(kIniH), Also::Nothing, kSndL, kSndIniK},
    {kFinLg, kAnyNext, Also::Nothing, kSndFinK, kKeepNext},

    {kFinLm, Before(kIniIeung), Also::Nothing, kSndL, kSndM},
    {kFinLm, kAnyNext, Also::Nothing, kSndM, kKeepNext},

    {kFinLb, Before(kIniIeung), Also::CurrentIsDeol, kSndNone, kSndL},
    {kFinLb, Before(kIniIeung), Also::Nothing, kSndL, kSndB},
    {kFinLb, kAnyNext, Also::Nothing, kSndL, kKeepNext},

    {kFinLs, Before(kIniIeung), Also::Nothing, kSndL, kSndS},
    {kFinLs, kAnyNext, Also::Nothing, kSndL, kKeepNext},

    {kFinLt, Before(kIniIeung), Also::Nothing, kSndL, kSndIniT},
    {kFinLt, kAnyNext, Also::Nothing, kSndL, kKeepNext},

    {kFinLp, Before(kIniIeung), Also::Nothing, kSndL, kSndIniP},
    {kFinLp, kAnyNext, Also::Nothing, kSndL, kKeepNext},

    {kFinLh, Before(kIniG), Also::Nothing, kSndL, kSndIniK},
    {kFinLh, Before(kIniD), Also::Nothing, kSndL, kSndIniT},
    {kFinLh, Before(kIniB), Also::Nothing, kSndL, kSndIniP},
    {kFinLh, Before(kIniJ), Also::Nothing, kSndL, kSndCh},
    {kFinLh, Before(kIniIeung), Also::Nothing, kSndNone, kSndR},
    {kFinLh, kAnyNext, Also::Nothing, kSndL, kKeepNext},

    {kFinM, Before(kIniIeung), Also::Nothing, kSndNone, kSndM},
    {kFinM, kAnyNext, Also::Nothing, kSndM, kKeepNext},

    {kFinB, Before(kIniR), Also::Nothing, kSndM, kSndN},
    {kFinB, Before(kIniM), Also::Nothing, kSndM, kSndM},
    {kFinB, Before(kIniIeung), Also::Nothing, kSndNone, kSndB},
    {kFinB, Before(kIniH), Also::Nothing, kSndNone, kSndIniP},
    {kFinB, kAnyNext, Also::Nothing, kSndFinP, kKeepNext},

    {kFinBs, Before(kIniIeung), Also::NextVowelIOrEu, kSndFinP, kSndS},
    {kFinBs, Before(kIniIeung), Also::Nothing, kSndNone, kSndB},
    {kFinBs, kAnyNext, Also::Nothing, kSndFinP, kKeepNext},

    {kFinS, Before(kIniIeung), Also::Nothing, kSndNone, kSndS},
    {kFinS, kAnyNext, Also::Nothing, kSndFinT, kKeepNext},

    {kFinSs, Before(kIniIeung), Also::Nothing, kSndNone, kSndSs},
    {kFinSs, kAnyNext, Also::Nothing, kSndFinT, kKeepNext},

    {kFinNg, Before(kIniR), Also::Nothing, kSndNg, kSndN},
    {kFinNg, kAnyNext, Also::Nothing, kSndNg, kKeepNext},

    {kFinJ, Before(kIniIeung), Also::Nothing, kSndJ, kKeepNext},
    {kFinJ, Before(kIniH), Also::Nothing, kSndNone, kSndCh},
    {kFinJ, kAnyNext, Also::Nothing, kSndFinT, kKeepNext},

    {kFinCh, Before(kIniIeung), Also::Nothing, kSndCh, kKeepNext},
    {kFinCh, Before(kIniH), Also::Nothing, kSndNone, kSndCh},
    {kFinCh, kAnyNext, Also::Nothing, kSndFinT, kKeepNext},

    {kFinK, Before(kIniIeung), Also::Nothing, kSndNone, kSndIniK},
    {kFinK, kAnyNext, Also::Nothing, kSndFinK, kKeepNext},

    {kFinT, Before(kIniIeung, kIniH), Also::NextPalatal, kSndNone, kSndCh},
    {kFinT, kAnyNext, Also::Nothing, kSndFinT, kKeepNext},

    {kFinP, Before(kIniIeung), Also::Nothing, kSndNone, kSndIniP},
    {kFinP, kAnyNext, Also::Nothing, kSndFinP, kKeepNext},

    {kFinH, Before(kIniG), Also::Nothing, kSndNone, kSndIniK},
    {kFinH, Before(kIniD), Also::Nothing, kSndNone, kSndIniT},
    {kFinH, Before(kIniJ), Also::Nothing, kSndNone, kSndCh},
    {kFinH, Before(kIniIeung), Also::NextPalatal, kSndFinT, kSndNone},
    {kFinH, Before(kIniIeung), Also::Nothing, kSndNone, kSndH},
    {kFinH, kAnyNext, Also::Nothing, kSndFinT, kKeepNext},
};

// The Revised Romanization's table. It differs from the classic one where
// the standard pronunciation does: finals read [k], [t], [p] turn nasal
// before ㄴ or ㅁ (합니다 Hamnida, 옛날 Yennal, 꽃말 Kkonmal, 놓는 Nonneun),
// ㄹ after ㅁ is read n (감로 Gamno), and ㄱ or ㅂ before ㅎ keep the h, as
// nouns are written (묵호 Mukho, 입학 Iphak).
inline constexpr PairRule kOfficialPairRules[] = {
    {kFinG, Before(kIniN), Also::Nothing, kSndNg, kSndN},
    {kFinG, Before(kIniM), Also::Nothing, kSndNg, kSndM},
    {kFinG, Before(kIniR), Also::Nothing, kSndNg, kSndN},
    {kFinG, Before(kIniIeung), Also::Nothing, kSndNone, kSndG},
    {kFinG, Before(kIniH), Also::Nothing, kSndFinK, kSndH},
    {kFinG, kAnyNext, Also::Nothing, kSndFinK, kKeepNext},

    {kFinKk, Before(kIniN), Also::Nothing, kSndNg, kSndN},
    {kFinKk, Before(kIniM), Also::Nothing, kSndNg, kSndM},
    {kFinKk, Before(kIniR), Also::Nothing, kSndNg, kSndN},
    {kFinKk, Before(kIniIeung), Also::Nothing, kSndNone, kSndKk},
    {kFinKk, Before(kIniH), Also::NextAspiratesH, kSndNone, kSndIniK},
    {kFinKk, Before(kIniH), Also::Nothing, kSndKk, kSndH},
    {kFinKk, kAnyNext, Also::Nothing, kSndKk, kKeepNext},

    {kFinGs, Before(kIniN), Also::Nothing, kSndNg, kSndN},
    {kFinGs, Before(kIniM), Also::Nothing, kSndNg, kSndM},
    {kFinGs, Before(kIniIeung), Also::Nothing, kSndFinK, kSndS},
    {kFinGs, kAnyNext, Also::Nothing, kSndFinK, kKeepNext},

    {kFinN, Before(kIniR), Also::Nothing, kSndL, kSndL},
    {kFinN, kAnyNext, Also::Nothing, kSndN, kKeepNext},

    {kFinNj, Before(kIniIeung), Also::Nothing, kSndN, kSndJ},
    {kFinNj, kAnyNext, Also::Nothing, kSndN, kKeepNext},

    {kFinNh, Before(kIniG), Also::Nothing, kSndN, kSndIniK},
    {kFinNh, Before(kIniD), Also::Nothing, kSndN, kSndIniT},
    {kFinNh, Before(kIniB), Also::Nothing, kSndN, kSndIniP},
    {kFinNh, Before(kIniJ), Also::Nothing, kSndN, kSndCh},
    {kFinNh, Before(kIniIeung), Also::Nothing, kSndNone, kSndN},
    {kFinNh, kAnyNext, Also::Nothing, kSndN, kKeepNext},

    {kFinD, Before(kIniN), Also::Nothing, kSndN, kSndN},
    {kFinD, Before(kIniM), Also::Nothing, kSndN, kSndM},
    {kFinD, Before(kIniIeung), Also::NextPalatal, kSndNone, kSndJ},
    {kFinD, Before(kIniH), Also::NextPalatal, kSndNone, kSndCh},
    {kFinD, kAnyNext, Also::Nothing, kSndFinT, kKeepNext},

    {kFinL, Before(kIniN, kIniR), Also::Nothing, kSndL, kSndL},
    {kFinL, Before(kIniIeung), Also::Nothing, kSndNone, kSndR},
    {kFinL, kAnyNext, Also::Nothing, kSndL, kKeepNext},

    {kFinLg, Before(kIniN), Also::Nothing, kSndNg, kSndN},
    {kFinLg, Before(kIniM), Also::Nothing, kSndNg, kSndM},
    {kFinLg, Before(kIniIeung), Also::Nothing, kSndL, kSndG},
    {kFinLg, Before(kIniH), Also::Nothing, kSndL, kSndIniK},
    {kFinLg, kAnyNext, Also::Nothing, kSndFinK, kKeepNext},

    {kFinLm, Before(kIniIeung), Also::Nothing, kSndL, kSndM},
    {kFinLm, kAnyNext, Also::Nothing, kSndM, kKeepNext},

    {kFinLb, Before(kIniIeung), Also::CurrentIsDeol, kSndNone, kSndL},
    {kFinLb, Before(kIniIeung), Also::Nothing, kSndL, kSndB},
    {kFinLb, kAnyNext, Also::Nothing, kSndL, kKeepNext},

    {kFinLs, Before(kIniIeung), Also::Nothing, kSndL, kSndS},
    {kFinLs, kAnyNext, Also::Nothing, kSndL, kKeepNext},

    {kFinLt, Before(kIniIeung), Also::Nothing, kSndL, kSndIniT},
    {kFinLt, kAnyNext, Also::Nothing, kSndL, kKeepNext},

    {kFinLp, Before(kIniIeung), Also::Nothing, kSndL, kSndIniP},
    {kFinLp, kAnyNext, Also::Nothing, kSndL, kKeepNext},

    {kFinLh, Before(kIniG), Also::Nothing, kSndL, kSndIniK},
    {kFinLh, Before(kIniD), Also::Nothing, kSndL, kSndIniT},
    {kFinLh, Before(kIniB), Also::Nothing, kSndL, kSndIniP},
    {kFinLh, Before(kIniJ), Also::Nothing, kSndL, kSndCh},
    {kFinLh, Before(kIniIeung), Also::Nothing, kSndNone, kSndR},
    {kFinLh, kAnyNext, Also::Nothing, kSndL, kKeepNext},

    {kFinM, Before(kIniR), Also::Nothing, kSndM, kSndN},
    {kFinM, Before(kIniIeung), Also::Nothing, kSndNone, kSndM},
    {kFinM, kAnyNext, Also::Nothing, kSndM, kKeepNext},

    {kFinB, Before(kIniN), Also::Nothing, kSndM, kSndN},
    {kFinB, Before(kIniR), Also::Nothing, kSndM, kSndN},
    {kFinB, Before(kIniM), Also::Nothing, kSndM, kSndM},
    {kFinB, Before(kIniIeung), Also::Nothing, kSndNone, kSndB},
    {kFinB, Before(kIniH), Also::Nothing, kSndFinP, kSndH},
    {kFinB, kAnyNext, Also::Nothing, kSndFinP, kKeepNext},

    {kFinBs, Before(kIniN), Also::Nothing, kSndM, kSndN},
    {kFinBs, Before(kIniM), Also::Nothing, kSndM, kSndM},
    {kFinBs, Before(kIniIeung), Also::NextVowelIOrEu, kSndFinP, kSndS},
    {kFinBs, Before(kIniIeung), Also::Nothing, kSndNone, kSndB},
    {kFinBs, kAnyNext, Also::Nothing, kSndFinP, kKeepNext},

    {kFinS, Before(kIniN), Also::Nothing, kSndN, kSndN},
    {kFinS, Before(kIniM), Also::Nothing, kSndN, kSndM},
    {kFinS, Before(kIniIeung), Also::Nothing, kSndNone, kSndS},
    {kFinS, kAnyNext, Also::Nothing, kSndFinT, kKeepNext},

    {kFinSs, Before(kIniN), Also::Nothing, kSndN, kSndN},
    {kFinSs, Before(kIniM), Also::Nothing, kSndN, kSndM},
    {kFinSs, Before(kIniIeung), Also::Nothing, kSndNone, kSndSs},
    {kFinSs, kAnyNext, Also::Nothing, kSndFinT, kKeepNext},

    {kFinNg, Before(kIniR), Also::Nothing, kSndNg, kSndN},
    {kFinNg, kAnyNext, Also::Nothing, kSndNg, kKeepNext},

    {kFinJ, Before(kIniN), Also::Nothing, kSndN, kSndN},
    {kFinJ, Before(kIniM), Also::Nothing, kSndN, kSndM},
    {kFinJ, Before(kIniIeung), Also::Nothing, kSndJ, kKeepNext},
    {kFinJ, Before(kIniH), Also::Nothing, kSndNone, kSndCh},
    {kFinJ, kAnyNext, Also::Nothing, kSndFinT, kKeepNext},

    {kFinCh, Before(kIniN), Also::Nothing, kSndN, kSndN},
    {kFinCh, Before(kIniM), Also::Nothing, kSndN, kSndM},
    {kFinCh, Before(kIniIeung), Also::Nothing, kSndCh, kKeepNext},
    {kFinCh, Before(kIniH), Also::Nothing, kSndNone, kSndCh},
    {kFinCh, kAnyNext, Also::Nothing, kSndFinT, kKeepNext},

    {kFinK, Before(kIniN), Also::Nothing, kSndNg, kSndN},
    {kFinK, Before(kIniM), Also::Nothing, kSndNg, kSndM},
    {kFinK, Before(kIniIeung), Also::Nothing, kSndNone, kSndIniK},
    {kFinK, kAnyNext, Also::Nothing, kSndFinK, kKeepNext},

    {kFinT, Before(kIniN), Also::Nothing, kSndN, kSndN},
    {kFinT, Before(kIniM), Also::Nothing, kSndN, kSndM},
    {kFinT, Before(kIniIeung, kIniH), Also::NextPalatal, kSndNone, kSndCh},
    {kFinT, kAnyNext, Also::Nothing, kSndFinT, kKeepNext},

    {kFinP, Before(kIniN), Also::Nothing, kSndM, kSndN},
    {kFinP, Before(kIniM), Also::Nothing, kSndM, kSndM},
    {kFinP, Before(kIniIeung), Also::Nothing, kSndNone, kSndIniP},
    {kFinP, kAnyNext, Also::Nothing, kSndFinP, kKeepNext},

    {kFinH, Before(kIniG), Also::Nothing, kSndNone, kSndIniK},
    {kFinH, Before(kIniN), Also::Nothing, kSndN, kSndN},
    {kFinH, Before(kIniD), Also::Nothing, kSndNone, kSndIniT},
    {kFinH, Before(kIniM), Also::Nothing, kSndN, kSndM},
    {kFinH, Before(kIniJ), Also::Nothing, kSndNone, kSndCh},
    {kFinH, Before(kIniIeung), Also::NextPalatal, kSndFinT, kSndNone},
    {kFinH, Before(kIniIeung), Also::Nothing, kSndNone, kSndH},
    {kFinH, kAnyNext, Also::Nothing, kSndFinT, kKeepNext},
};

// Rows of one table grouped by final: rows of final f are [start[f], start[f + 1]).
struct PairRuleIndex {
  std::uint16_t start[kFinalKinds + 1];
};

template <std::size_t N>
constexpr PairRuleIndex IndexPairRules(const PairRule (&rules)[N]) {
  PairRuleIndex index{};
  std::size_t row = 0;
  for (int f = 0; f <= kFinalKinds; ++f) {
    while (row < N && rules[row].final < f) ++row;
    index.start[f] = static_cast<std::uint16_t>(row);
  }
  return index;
}

template <std::size_t N>
constexpr bool RowsInFinalOrder(const PairRule (&rules)[N]) {
  for (std::size_t i = 1; i < N; ++i) {
    if (rules[i].final < rules[i - 1].final) return false;
  }
  return true;
}

// Every final but none ends in a row that catches any next syllable.
template <std::size_t N>
constexpr bool EveryFinalHasAnyRow(const PairRule (&rules)[N]) {
  const PairRuleIndex index = IndexPairRules(rules);
  for (int f = kFinG; f < kFinalKinds; ++f) {
    const std::size_t end = index.start[f + 1];
    if (end == index.start[f]) return false;
    const PairRule& last = rules[end - 1];
    if (last.next != kAnyNext || last.also != Also::Nothing) return false;
  }
  return true;
}

static_assert(RowsInFinalOrder(kClassicPairRules) && EveryFinalHasAnyRow(kClassicPairRules));
static_assert(RowsInFinalOrder(kOfficialPairRules) && EveryFinalHasAnyRow(kOfficialPairRules));

}  // namespace jasokit::detail

#pragma once
// Letter tables of the romanizer. A SoundCode names one letter string; sound
// changes pick other codes and never edit letters.
#include <cstdint>
#include <string_view>

namespace jasokit::detail {

using SoundCode = std::uint16_t;

// Codes 1..23 are consonants, 24..44 vowels. "k", "t" and "p" each have two
// codes that print alike: one only ever used for finals, one for initials.
enum Sound : SoundCode {
  kSndNone = 0,
  kSndG = 1,
  kSndFinK = 2,
  kSndKk = 3,
  kSndN = 4,
  kSndD = 5,
  kSndFinT = 6,
  kSndTt = 7,
  kSndR = 8,
  kSndL = 9,
  kSndM = 10,
  kSndB = 11,
  kSndFinP = 12,
  kSndPp = 13,
  kSndS = 14,
  kSndSs = 15,
  kSndNg = 16,
  kSndJ = 17,
  kSndJj = 18,
  kSndCh = 19,
  kSndIniK = 20,
  kSndIniT = 21,
  kSndIniP = 22,
  kSndH = 23,
  kSndFirstVowel = 24,
};

inline constexpr int kSoundCodeCount = 45;

// Entry 0 emits nothing; the trailing empty entry is reached by no code.
inline constexpr std::u16string_view kSoundText[kSoundCodeCount + 1] = {
    u"",   u"g",  u"k",   u"kk", u"n",  u"d", u"t",  u"tt", u"r",  u"l",  u"m",  u"b",   u"p",  u"pp", u"s",   u"ss",
    u"ng", u"j",  u"jj",  u"ch", u"k",  u"t", u"p",  u"h",  u"a",  u"ae", u"ya", u"yae", u"eo", u"e",  u"yeo", u"ye",
    u"o",  u"wa", u"wae", u"oe", u"yo", u"u", u"wo", u"we", u"wi", u"yu", u"eu", u"ui",  u"i",  u""};

constexpr bool NoLetterStringLongerThan(std::size_t n) {
  for (std::u16string_view t : kSoundText) {
    if (t.size() > n) return false;
  }
  return true;
}
static_assert(NoLetterStringLongerThan(3), "the romanizer's result buffer counts on it");

// Indexed by initial consonant index (ㄱ..ㅎ).
inline constexpr SoundCode kInitialSoundCode[19] = {kSndG,  kSndKk,   kSndN,    kSndD,    kSndTt,   kSndR, kSndM,
                                                    kSndB,  kSndPp,   kSndS,    kSndSs,   kSndNone, kSndJ, kSndJj,
                                                    kSndCh, kSndIniK, kSndIniT, kSndIniP, kSndH};

// Word-final code, indexed by final consonant index (none, ㄱ..ㅎ).
inline constexpr SoundCode kFinalSoundCode[28] = {kSndNone, kSndFinK, kSndKk,   kSndFinK, kSndN,    kSndN,    kSndN,
                                                  kSndFinT, kSndL,    kSndFinK, kSndM,    kSndL,    kSndL,    kSndL,
                                                  kSndL,    kSndL,    kSndM,    kSndFinP, kSndFinP, kSndFinT, kSndFinT,
                                                  kSndNg,   kSndFinT, kSndFinT, kSndFinK, kSndFinT, kSndFinP, kSndFinT};

}  // namespace jasokit::detail

#pragma once
// Letter tables of the romanizer. A SoundCode names one letter string; sound
// changes pick other codes and never edit letters.
#include <cstdint>
#include <string_view>

namespace jasokit {

using SoundCode = std::uint16_t;

inline constexpr int kSoundCodeCount = 45;

// Entry 0 emits nothing; the trailing empty entry is reached by no code.
inline constexpr std::u16string_view kSoundText[kSoundCodeCount + 1] = {
    u"",   u"g",  u"k",   u"kk", u"n",   u"d",  u"t",  u"tt", u"r",  u"l",  u"m",  u"b",
    u"p",  u"pp", u"s",   u"ss", u"ng",  u"j",  u"jj", u"ch", u"k",  u"t",  u"p",  u"h",
    u"a",  u"ae", u"ya",  u"yae", u"eo", u"e",  u"yeo", u"ye", u"o",  u"wa", u"wae", u"oe",
    u"yo", u"u",  u"wo",  u"we", u"wi",  u"yu", u"eu", u"ui", u"i",  u""};

// Indexed by initial consonant index (ㄱ..ㅎ).
inline constexpr SoundCode kInitialSoundCode[19] = {1,  3,  4,  5,  7,  8,  10, 11, 13, 14,
                                                    15, 0, 17, 18, 19, 20, 21, 22, 23};

// Word-final code, indexed by final consonant index (none, ㄱ..ㅎ).
inline constexpr SoundCode kFinalSoundCode[28] = {0, 2, 3, 2, 4, 4, 4, 6, 9, 2, 10, 9, 9, 9,
                                                  9, 9, 10, 12, 12, 6, 6, 16, 6, 6, 2, 6, 12, 6};

inline constexpr SoundCode kFirstVowelCode = 24;

}  // namespace jasokit

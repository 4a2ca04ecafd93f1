#pragma once
// Keys under which the search finds a road or a building however it was
// typed: initial consonants, jamo (for counting slips), the English
// keyboard layout, and the data's English reduced to letters and digits.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jasokit::detail::addrdb {

// The code points of UTF-8 text; an invalid byte is U+FFFD.
std::vector<char32_t> CodePoints(std::string_view utf8);
void AppendUtf8(char32_t c, std::string& out);

bool IsSyllable(char32_t c);
// A compatibility jamo consonant (ㄱ..ㅎ).
bool IsInitialJamo(char32_t c);

// Each syllable as its initial consonant (ㄱ, ㅍ...); anything else kept.
std::string InitialsOf(std::string_view utf8);
// Whether the text is initial consonants (digits allowed), one at least.
bool IsInitials(std::string_view utf8);

// Each syllable as its two or three jamo (numbered so that initial,
// vowel and final never meet); anything else as itself.
std::vector<std::uint32_t> JamoOf(std::string_view utf8);

// The edit distance of two jamo sequences, or limit + 1 when above limit.
unsigned JamoDistance(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b, unsigned limit);

// Latin letters typed with the two-set Korean keyboard layout as the Hangul
// they type ("rovhfh" -> "개포로"); other characters kept. "" when a letter
// makes no Hangul (none is left over as a lone jamo).
std::string FromKeyboardLayout(std::string_view text);

// Letters and digits only, ASCII letters lowercased ("Gaepo-ro 17-gil" ->
// "gaeporo17gil").
std::string EnglishKey(std::string_view text);

// A name's keys with one, or (at four to eight characters) two, of its
// characters unknown: a name typed with slips within one or two
// characters shares one with it. Hashes: those of one unknown character
// first, one for each character in order.
void SlipKeys(std::string_view utf8, std::vector<std::uint32_t>& out);

// FNV-1a of bytes, seeded so that the indexes' keys of one kind never meet
// another kind's.
std::uint32_t KeyHash(std::string_view bytes, std::uint32_t seed);

// Seeds of the index kinds.
inline constexpr std::uint32_t kGramSeed = 0x4752414Du;
inline constexpr std::uint32_t kLocalitySeed = 0x4C4F4341u;
inline constexpr std::uint32_t kEnglishSeed = 0x454E4752u;
inline constexpr std::uint32_t kInitialSeed = 0x494E4954u;
inline constexpr std::uint32_t kSlipSeed = 0x534C4950u;

// Lowercases ASCII letters.
std::string AsciiLower(std::string_view text);

// Hangul as the keys of the two-set layout that type it ("개포로" ->
// "rovhfh"); other characters kept. For generating what users type.
std::string ToKeyboardLayout(std::string_view utf8);

}  // namespace jasokit::detail::addrdb

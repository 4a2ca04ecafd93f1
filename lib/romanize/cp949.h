#pragma once
// The CP949 codec behind the text library, and the private codes that carry
// characters with no CP949 form through it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jasokit/cp949.h"

namespace jasokit::detail {

inline constexpr char16_t kReplacementChar = 0xFFFD;

// Byte length of the character at text[i]: 2 for a lead byte with a byte
// after it, otherwise 1. This is the stepping the text routines use.
inline std::size_t Cp949CharLength(std::string_view text, std::size_t i) {
  return (IsCp949LeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
}

// The text helpers of jasokit/cp949.h, under the names the library's own
// code has always used.
using jasokit::IsCp949LeadByte;
using jasokit::IsValidUtf8;
using jasokit::Utf8Lead;
using jasokit::Utf8LeadOf;
using jasokit::ValidUtf8Length;

// The unit of a double-byte pair, or 0 where the pair is not mapped.
char16_t DecodeCp949Pair(unsigned char lead, unsigned char trail);

// Decodes into out (replacing its content). An invalid byte becomes one
// U+FFFD and decoding resumes at the next byte. With privateCodes, private
// code k (below) becomes the unit kPrivateUnitFirst + k.
void DecodeCp949(std::string_view in, std::u16string& out, bool privateCodes = false);

// Encodes one unit into out[0..1]; returns the byte count. A unit with no
// CP949 form (a lone surrogate included) becomes '?' and *mapped is cleared.
std::size_t EncodeCp949Unit(char16_t unit, char* out, bool* mapped = nullptr);

// Appends the CP949 form of in to out; returns false if any unit became '?'.
bool EncodeCp949(std::u16string_view in, std::string& out);

// Private codes. The text pipeline is defined on CP949 bytes: its limits,
// trimming, tokens and cuts all count a double-byte character as two bytes.
// So that UTF-8 text loses nothing, a character with no CP949 form rides
// through it as a double-byte pair that CP949 leaves unassigned (lead
// 0xC7..0xFE with trail 0x81..0xA0); pair k stands for the text's k-th
// distinct such character. Inside the engine pair k is the unit
// kPrivateUnitFirst + k, which CP949 never decodes to.
inline constexpr unsigned kPrivateLeadFirst = 0xC7;
inline constexpr unsigned kPrivateLeadCount = 0xFE - 0xC7 + 1;
inline constexpr unsigned kPrivateTrailFirst = 0x81;
inline constexpr unsigned kPrivateTrailCount = 0xA0 - 0x81 + 1;
inline constexpr std::size_t kPrivateCodeCount = kPrivateLeadCount * kPrivateTrailCount;  // 1792
inline constexpr char16_t kPrivateUnitFirst = 0xE000;

// The private code of a pair, or -1 when the pair is none.
inline int PrivateCode(unsigned char lead, unsigned char trail) {
  if (lead < kPrivateLeadFirst || trail < kPrivateTrailFirst || trail >= kPrivateTrailFirst + kPrivateTrailCount) {
    return -1;
  }
  return static_cast<int>((lead - kPrivateLeadFirst) * kPrivateTrailCount + (trail - kPrivateTrailFirst));
}

// CP949 bytes with private codes, and the characters the codes stand for.
struct PrivateText {
  std::string bytes;
  std::vector<char32_t> characters;  // code k -> code point
};

// UTF-8 -> bytes with private codes, replacing out. Invalid UTF-8 becomes
// U+FFFD (one for each maximal invalid part, as the Unicode Standard
// recommends); returns false if that happened. The text ends at a NUL byte.
// Past kPrivateCodeCount distinct characters the last code is reused: such a
// text is far over every limit, so it is refused or comes back empty anyway.
bool Utf8ToPrivate(std::string_view utf8, PrivateText& out);

// The same, appending to out and extending its characters.
bool AppendUtf8ToPrivate(std::string_view utf8, PrivateText& out);

// The same, appending to bytes, with the codes of characters, which it
// extends: for text written into a conversion whose codes are already given.
bool AppendUtf8ToPrivateCodes(std::string_view utf8, std::vector<char32_t>& characters, std::string& bytes);

// Bytes with private codes -> UTF-8, appended to out; characters holds what
// the codes stand for. A pair that is neither mapped nor a private code, or
// a lone lead byte, becomes U+FFFD.
void PrivateToUtf8(std::string_view bytes, const std::vector<char32_t>& characters, std::string& out);

// Appends the UTF-8 form of one code point.
void AppendUtf8(char32_t cp, std::string& out);

}  // namespace jasokit::detail

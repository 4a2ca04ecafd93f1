#pragma once
// CP949 <-> UTF-16 <-> UTF-8, table driven so that every platform and locale
// converts alike. Nothing here fails: bad input degrades to U+FFFD or '?'.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace jasokit {

inline constexpr char16_t kReplacementChar = 0xFFFD;

// True for the bytes that start a double-byte CP949 character.
constexpr bool IsCp949LeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// Byte length of the character at text[i]: 2 for a lead byte with a byte
// after it, otherwise 1. This is the stepping the text routines use.
inline std::size_t Cp949CharLength(std::string_view text, std::size_t i) {
  return (IsCp949LeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) ? 2 : 1;
}

// The unit of a double-byte pair, or 0 where the pair is not mapped.
char16_t DecodeCp949Pair(unsigned char lead, unsigned char trail);

// Decodes into out (replacing its content). An invalid byte becomes one
// U+FFFD and decoding resumes at the next byte.
void DecodeCp949(std::string_view in, std::u16string& out);

// Encodes one unit into out[0..1]; returns the byte count. A unit with no
// CP949 form (a lone surrogate included) becomes '?' and *mapped is cleared.
std::size_t EncodeCp949Unit(char16_t unit, char* out, bool* mapped = nullptr);

// Appends the CP949 form of in to out; returns false if any unit became '?'.
bool EncodeCp949(std::u16string_view in, std::string& out);

// UTF-8 -> CP949, appended to out. Characters with no CP949 form and bytes
// that are not valid UTF-8 become '?'; returns false if that happened.
bool Utf8ToCp949(std::string_view in, std::string& out);

// CP949 -> UTF-8, appended to out. Invalid bytes become U+FFFD; returns
// false if that happened.
bool Cp949ToUtf8(std::string_view in, std::string& out);

}  // namespace jasokit

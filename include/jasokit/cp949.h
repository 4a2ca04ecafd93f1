#pragma once
// CP949 (the Korean Windows code page) to and from UTF-8, for callers of the
// CP949 operations, and the byte rules of both encodings. Table driven, so
// every platform and locale converts alike; nothing here fails.
#include <cstddef>
#include <string>
#include <string_view>

#include "jasokit/export.h"

namespace jasokit {

// Appends the CP949 form of utf8 to out. Characters with no CP949 form and
// bytes that are not valid UTF-8 become '?'; returns false if that happened.
JASOKIT_API bool Utf8ToCp949(std::string_view utf8, std::string& out);

// Appends the UTF-8 form of cp949 to out. An invalid byte becomes U+FFFD and
// decoding resumes at the next byte; returns false if that happened.
JASOKIT_API bool Cp949ToUtf8(std::string_view cp949, std::string& out);

// True for the bytes that start a double-byte CP949 character.
constexpr bool IsCp949LeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// What a UTF-8 lead byte begins: the sequence's length (0 for a byte that
// begins none) and the range of its second byte, which rules out overlong
// forms, surrogates and code points past U+10FFFF. For readers that check
// UTF-8 as it streams in.
struct Utf8Lead {
  unsigned length;
  unsigned char low;
  unsigned char high;
};

constexpr Utf8Lead Utf8LeadOf(unsigned char b) {
  if (b < 0x80) return {1, 0x80, 0xBF};
  if (b >= 0xC2 && b <= 0xDF) return {2, 0x80, 0xBF};
  using Byte = unsigned char;
  if (b >= 0xE0 && b <= 0xEF) return {3, Byte(b == 0xE0 ? 0xA0 : 0x80), Byte(b == 0xED ? 0x9F : 0xBF)};
  if (b >= 0xF0 && b <= 0xF4) return {4, Byte(b == 0xF0 ? 0x90 : 0x80), Byte(b == 0xF4 ? 0x8F : 0xBF)};
  return {0, 0, 0};
}

// The length of the valid UTF-8 sequence at utf8[i], or 0 where none begins.
JASOKIT_API std::size_t ValidUtf8Length(std::string_view utf8, std::size_t i);

// True if the whole text is valid UTF-8.
JASOKIT_API bool IsValidUtf8(std::string_view utf8);

}  // namespace jasokit

#include "cli/json.h"

namespace jasokit::cli {

namespace {

struct Escape {
  char byte;
  const char* text;
};

constexpr Escape kEscapes[] = {
    {'"', "\\\""}, {'\\', "\\\\"}, {'\n', "\\n"}, {'\r', "\\r"},
    {'\t', "\\t"}, {'\b', "\\b"},  {'\f', "\\f"},
};

constexpr const char* kReplacement = "\\ufffd";

bool InRange(std::string_view s, std::size_t i, unsigned char low, unsigned char high) {
  if (i >= s.size()) return false;
  const auto c = static_cast<unsigned char>(s[i]);
  return c >= low && c <= high;
}

// The length of the valid UTF-8 sequence (RFC 3629: no overlong forms, no
// surrogates, nothing past U+10FFFF) of two or more bytes at s[i], or 0.
std::size_t MultiByteLength(std::string_view s, std::size_t i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  std::size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (!InRange(s, i + 1, low, high)) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (!InRange(s, i + k, 0x80, 0xBF)) return 0;
  }
  return length;
}

}  // namespace

void AppendJsonString(std::string_view utf8, std::string& out) {
  out += '"';
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x80) {
      const std::size_t n = MultiByteLength(utf8, i);
      if (n == 0) {
        out += kReplacement;
        ++i;
      } else {
        out.append(utf8, i, n);
        i += n;
      }
      continue;
    }
    ++i;
    const Escape* escape = nullptr;
    for (const Escape& e : kEscapes) {
      if (e.byte == static_cast<char>(c)) {
        escape = &e;
        break;
      }
    }
    if (escape) {
      out += escape->text;
    } else if (c < 0x20) {
      constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 0xF];
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

}  // namespace jasokit::cli

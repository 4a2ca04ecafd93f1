#include "romanize/cp949.h"

#include "romanize/cp949_tables.h"

namespace jasokit {

namespace {

// Appends the UTF-8 form of a BMP code point.
inline void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one UTF-8 sequence at in[i]; returns its length, or 0 when the byte
// at i does not start a valid sequence. Rejects overlongs and surrogates.
inline std::size_t DecodeUtf8(std::string_view in, std::size_t i, char32_t& cp) {
  const auto b0 = static_cast<unsigned char>(in[i]);
  std::size_t len;
  char32_t min;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if (b0 >= 0xC2 && b0 <= 0xDF) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (i + len > in.size()) return 0;
  for (std::size_t k = 1; k < len; ++k) {
    const auto b = static_cast<unsigned char>(in[i + k]);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

char16_t DecodeCp949Pair(unsigned char lead, unsigned char trail) {
  if (lead < cp949::kLeadFirst || lead > cp949::kLeadLast || trail < cp949::kTrailFirst ||
      trail > cp949::kTrailLast) {
    return 0;
  }
  return cp949::kDecodeTable[lead - cp949::kLeadFirst][trail - cp949::kTrailFirst];
}

void DecodeCp949(std::string_view in, std::u16string& out) {
  out.clear();
  out.reserve(in.size());
  const std::size_t n = in.size();
  for (std::size_t i = 0; i < n;) {
    const auto b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      out.push_back(b);
      ++i;
      continue;
    }
    if (i + 1 < n) {
      if (char16_t u = DecodeCp949Pair(b, static_cast<unsigned char>(in[i + 1]))) {
        out.push_back(u);
        i += 2;
        continue;
      }
    }
    out.push_back(kReplacementChar);
    ++i;
  }
}

std::size_t EncodeCp949Unit(char16_t unit, char* out, bool* mapped) {
  if (unit < 0x80) {
    out[0] = static_cast<char>(unit);
    return 1;
  }
  const std::uint16_t page = cp949::kEncodePageIndex[unit >> 8];
  if (page != 0xFFFF) {
    if (std::uint16_t code = cp949::kEncodePages[page][unit & 0xFF]) {
      out[0] = static_cast<char>(code >> 8);
      out[1] = static_cast<char>(code & 0xFF);
      return 2;
    }
  }
  if (mapped) *mapped = false;
  out[0] = '?';
  return 1;
}

bool EncodeCp949(std::u16string_view in, std::string& out) {
  bool mapped = true;
  char buf[2];
  for (char16_t u : in) out.append(buf, EncodeCp949Unit(u, buf, &mapped));
  return mapped;
}

bool Utf8ToCp949(std::string_view in, std::string& out) {
  bool clean = true;
  char buf[2];
  const std::size_t n = in.size();
  for (std::size_t i = 0; i < n;) {
    const auto b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    char32_t cp;
    const std::size_t len = DecodeUtf8(in, i, cp);
    if (len == 0) {
      out.push_back('?');
      clean = false;
      ++i;
      continue;
    }
    i += len;
    if (cp > 0xFFFF) {
      out.push_back('?');
      clean = false;
      continue;
    }
    out.append(buf, EncodeCp949Unit(static_cast<char16_t>(cp), buf, &clean));
  }
  return clean;
}

bool Cp949ToUtf8(std::string_view in, std::string& out) {
  bool clean = true;
  const std::size_t n = in.size();
  for (std::size_t i = 0; i < n;) {
    const auto b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    char16_t u = 0;
    if (i + 1 < n) u = DecodeCp949Pair(b, static_cast<unsigned char>(in[i + 1]));
    if (u) {
      AppendUtf8(u, out);
      i += 2;
    } else {
      AppendUtf8(kReplacementChar, out);
      clean = false;
      ++i;
    }
  }
  return clean;
}

}  // namespace jasokit

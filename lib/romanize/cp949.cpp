#include "romanize/cp949.h"

#include <cstring>

#include "bytes8.h"
#include "tables/cp949_tables.h"

namespace jasokit {

namespace detail {

namespace {

// Decodes one UTF-8 sequence at in[i] and returns its length. For an invalid
// sequence it returns the length of its maximal part that could have begun a
// valid one (at least 1) and sets cp to U+FFFD, so that each such part
// becomes one replacement character. Overlongs and surrogates are invalid.
inline std::size_t DecodeUtf8(std::string_view in, std::size_t i, char32_t& cp, bool& valid) {
  const auto b0 = static_cast<unsigned char>(in[i]);
  const Utf8Lead lead = Utf8LeadOf(b0);
  valid = lead.length != 0;
  if (lead.length <= 1) {
    cp = valid ? b0 : kReplacementChar;
    return 1;
  }
  if (lead.length == 3 && i + 2 < in.size()) {  // all of Hangul: checked at once
    const auto b1 = static_cast<unsigned char>(in[i + 1]);
    const auto b2 = static_cast<unsigned char>(in[i + 2]);
    if (b1 >= lead.low && b1 <= lead.high && (b2 & 0xC0) == 0x80) {
      cp = static_cast<char32_t>((b0 & 0x0F) << 12 | (b1 & 0x3F) << 6 | (b2 & 0x3F));
      return 3;
    }
  }
  cp = b0 & (0x7F >> lead.length);
  for (std::size_t k = 1; k < lead.length; ++k) {
    const unsigned char low = k == 1 ? lead.low : 0x80;
    const unsigned char high = k == 1 ? lead.high : 0xBF;
    if (i + k >= in.size() || static_cast<unsigned char>(in[i + k]) < low ||
        static_cast<unsigned char>(in[i + k]) > high) {
      valid = false;
      cp = kReplacementChar;
      return k;
    }
    cp = (cp << 6) | (static_cast<unsigned char>(in[i + k]) & 0x3F);
  }
  return lead.length;
}

// Loads the eight bytes at p into v; true if they are all ASCII and, with
// noNul, none of them is NUL.
inline bool EightAscii(const char* p, std::uint64_t& v, bool noNul) {
  v = platform::Load8(p);
  return ((v & platform::kHighBits) | (noNul ? platform::BytesBelow(v, 1) : 0)) == 0;
}

// The CP949 pair (lead << 8 | trail) of a code point, 0 where it has none.
inline std::uint16_t MappedPair(char32_t cp) {
  if (cp > 0xFFFF) return 0;
  const std::uint16_t page = cp949::kEncodePageIndex[cp >> 8];
  return page == 0xFFFF ? 0 : cp949::kEncodePages[page][cp & 0xFF];
}

}  // namespace

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

char16_t DecodeCp949Pair(unsigned char lead, unsigned char trail) {
  if (lead < cp949::kLeadFirst || lead > cp949::kLeadLast || trail < cp949::kTrailFirst || trail > cp949::kTrailLast) {
    return 0;
  }
  return cp949::kDecodeTable[lead - cp949::kLeadFirst][trail - cp949::kTrailFirst];
}

void DecodeCp949(std::string_view in, std::u16string& out, bool privateCodes) {
  // No more units than bytes: room for that first, the rest cut after.
  out.resize(in.size());
  char16_t* o = out.data();
  const std::size_t n = in.size();
  for (std::size_t i = 0; i < n;) {
    const auto b = static_cast<unsigned char>(in[i]);
    if (b < 0x80) {
      *o++ = b;
      ++i;
      continue;
    }
    if (i + 1 < n) {
      const auto t = static_cast<unsigned char>(in[i + 1]);
      const int code = privateCodes ? PrivateCode(b, t) : -1;
      if (code >= 0) {
        *o++ = static_cast<char16_t>(kPrivateUnitFirst + code);
        i += 2;
        continue;
      }
      if (char16_t u = DecodeCp949Pair(b, t)) {
        *o++ = u;
        i += 2;
        continue;
      }
    }
    *o++ = kReplacementChar;
    ++i;
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
}

std::size_t EncodeCp949Unit(char16_t unit, char* out, bool* mapped) {
  if (unit < 0x80) {
    out[0] = static_cast<char>(unit);
    return 1;
  }
  if (const std::uint16_t code = MappedPair(unit)) {
    out[0] = static_cast<char>(code >> 8);
    out[1] = static_cast<char>(code & 0xFF);
    return 2;
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

bool Utf8ToPrivate(std::string_view utf8, PrivateText& out) {
  out.bytes.clear();
  out.characters.clear();
  return AppendUtf8ToPrivate(utf8, out);
}

bool AppendUtf8ToPrivate(std::string_view utf8, PrivateText& out) {
  return AppendUtf8ToPrivateCodes(utf8, out.characters, out.bytes);
}

bool AppendUtf8ToPrivateCodes(std::string_view utf8, std::vector<char32_t>& characters, std::string& bytes) {
  // A character takes no more bytes here than in UTF-8, and an invalid byte
  // two: room for that is made first, and what is left over cut after.
  const std::size_t start = bytes.size();
  bytes.resize(start + 2 * utf8.size());
  char* const first = bytes.data() + start;
  char* o = first;
  bool clean = true;
  const std::size_t n = utf8.size();
  for (std::size_t i = 0; i < n;) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (std::uint64_t v; b < 0x80 && n - i >= 8 && EightAscii(utf8.data() + i, v, true)) {
      std::memcpy(o, &v, 8);
      o += 8;
      i += 8;
      continue;
    }
    if (b < 0x80) {
      if (b == 0) break;
      *o++ = static_cast<char>(b);
      ++i;
      continue;
    }
    char32_t cp;
    bool valid;
    i += DecodeUtf8(utf8, i, cp, valid);
    clean = clean && valid;
    if (const std::uint16_t pair = MappedPair(cp)) {
      *o++ = static_cast<char>(pair >> 8);
      *o++ = static_cast<char>(pair & 0xFF);
      continue;
    }
    std::size_t code = 0;
    while (code < characters.size() && characters[code] != cp) ++code;
    if (code == characters.size()) {
      if (code < kPrivateCodeCount) {
        characters.push_back(cp);
      } else {
        code = kPrivateCodeCount - 1;
      }
    }
    *o++ = static_cast<char>(kPrivateLeadFirst + code / kPrivateTrailCount);
    *o++ = static_cast<char>(kPrivateTrailFirst + code % kPrivateTrailCount);
  }
  bytes.resize(start + static_cast<std::size_t>(o - first));
  return clean;
}

namespace {

inline char* PutUtf8(char32_t cp, char* o) {
  if (cp < 0x80) {
    *o++ = static_cast<char>(cp);
  } else if (cp < 0x800) {
    *o++ = static_cast<char>(0xC0 | (cp >> 6));
    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    *o++ = static_cast<char>(0xE0 | (cp >> 12));
    *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    *o++ = static_cast<char>(0xF0 | (cp >> 18));
    *o++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    *o++ = static_cast<char>(0x80 | (cp & 0x3F));
  }
  return o;
}

// The length of the ASCII run that begins text, eight bytes at a time.
std::size_t AsciiPrefix(std::string_view text) {
  std::size_t i = 0;
  for (std::uint64_t v; i + 8 <= text.size() && EightAscii(text.data() + i, v, false);) i += 8;
  while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
  return i;
}

}  // namespace

void PrivateToUtf8(std::string_view bytes, const std::vector<char32_t>& characters, std::string& out) {
  // ASCII, which most results are all of, goes in one piece.
  const std::size_t ascii = AsciiPrefix(bytes);
  out.append(bytes.data(), ascii);
  if (ascii == bytes.size()) return;
  bytes.remove_prefix(ascii);
  // At most three UTF-8 bytes for each byte (a lone byte becomes U+FFFD).
  const std::size_t start = out.size();
  out.resize(start + 3 * bytes.size());
  char* const first = out.data() + start;
  char* o = first;
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n;) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (std::uint64_t v; b < 0x80 && n - i >= 8 && EightAscii(bytes.data() + i, v, false)) {
      std::memcpy(o, &v, 8);
      o += 8;
      i += 8;
      continue;
    }
    if (b < 0x80) {
      *o++ = static_cast<char>(b);
      ++i;
      continue;
    }
    if (i + 1 < n) {
      const auto t = static_cast<unsigned char>(bytes[i + 1]);
      const int code = PrivateCode(b, t);
      if (code >= 0 && static_cast<std::size_t>(code) < characters.size()) {
        o = PutUtf8(characters[static_cast<std::size_t>(code)], o);
        i += 2;
        continue;
      }
      if (char16_t u = DecodeCp949Pair(b, t)) {
        o = PutUtf8(u, o);
        i += 2;
        continue;
      }
    }
    o = PutUtf8(kReplacementChar, o);
    ++i;
  }
  out.resize(start + static_cast<std::size_t>(o - first));
}

}  // namespace detail

std::size_t ValidUtf8Length(std::string_view text, std::size_t i) {
  char32_t cp;
  bool valid;
  const std::size_t n = detail::DecodeUtf8(text, i, cp, valid);
  return valid ? n : 0;
}

bool IsValidUtf8(std::string_view utf8) {
  char32_t cp;
  bool valid = true;
  for (std::size_t i = 0; i < utf8.size() && valid;) i += detail::DecodeUtf8(utf8, i, cp, valid);
  return valid;
}

bool Utf8ToCp949(std::string_view in, std::string& out) {
  using namespace detail;
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
    bool valid;
    const std::size_t len = DecodeUtf8(in, i, cp, valid);
    i += len;
    if (!valid || cp > 0xFFFF) {
      out.push_back('?');
      clean = false;
      continue;
    }
    out.append(buf, EncodeCp949Unit(static_cast<char16_t>(cp), buf, &clean));
  }
  return clean;
}

bool Cp949ToUtf8(std::string_view in, std::string& out) {
  using namespace detail;
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

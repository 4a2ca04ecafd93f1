#include "frontend/json.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "bytes8.h"
#include "jasokit/address_db.h"
#include "jasokit/cp949.h"
#include "jasokit/name.h"

namespace jasokit::cli {

namespace {

constexpr char kHex[] = "0123456789abcdef";

constexpr bool IsPlainAscii(unsigned char c) { return c >= 0x20 && c < 0x80 && c != '"' && c != '\\'; }

// Copies the plain ASCII bytes that begin the m bytes at p (1 to 8) to o,
// and returns how many they are. Eight bytes are stored at o whatever their
// count: o has the room. The tests below flag each byte of 0x80 or more,
// under 0x20, a quote or a backslash; a borrow may flag bytes after a
// flagged one, never one before it, so the first flag is exact.
inline std::size_t CopyPlainAscii(const unsigned char* p, std::size_t m, char* o) {
  using namespace platform;
  std::uint64_t v = kEachByte * 'a';  // what is past the m bytes passes
  if (m == 8) {
    v = Load8(p);
  } else {
    std::memcpy(&v, p, m);
  }
  std::memcpy(o, &v, 8);
  const std::uint64_t flags = (v & kHighBits) | BytesBelow(v, 0x20) | BytesEqual(v, '"') | BytesEqual(v, '\\');
  if (flags == 0) return m;
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return 0;  // the first byte is the highest, where borrows land
#else
  return std::min<std::size_t>(m, static_cast<std::size_t>(__builtin_ctzll(flags)) / 8);
#endif
}

// What each byte begins as a UTF-8 lead, looked up instead of worked out.
constexpr std::array<Utf8Lead, 256> kLeads = [] {
  std::array<Utf8Lead, 256> leads{};
  for (std::size_t b = 0; b < leads.size(); ++b) leads[b] = Utf8LeadOf(static_cast<unsigned char>(b));
  return leads;
}();

// The length of the valid sequence of two bytes or more at p, of which left
// bytes remain; 0 where none begins.
inline std::size_t MultiByteLength(const unsigned char* p, std::size_t left) {
  const Utf8Lead& lead = kLeads[p[0]];
  if (lead.length < 2 || lead.length > left || p[1] < lead.low || p[1] > lead.high) return 0;
  if (lead.length > 2 && (p[2] & 0xC0) != 0x80) return 0;
  if (lead.length > 3 && (p[3] & 0xC0) != 0x80) return 0;
  return lead.length;
}

inline char* CopyByte(unsigned char c, char* o) {
  *o = static_cast<char>(c);
  return o + 1;
}

// An ASCII byte that JSON escapes, at o; returns the end.
char* WriteEscape(unsigned char c, char* o) {
  *o++ = '\\';
  switch (c) {
    case '"':
    case '\\': *o++ = static_cast<char>(c); return o;
    case '\n': *o++ = 'n'; return o;
    case '\r': *o++ = 'r'; return o;
    case '\t': *o++ = 't'; return o;
    case '\b': *o++ = 'b'; return o;
    case '\f': *o++ = 'f'; return o;
    default: break;
  }
  std::memcpy(o, "u00", 3);
  o[3] = kHex[c >> 4];
  o[4] = kHex[c & 0xF];
  return o + 5;
}

// No byte takes more than this in a JSON string: \u00XX and \ufffd.
constexpr std::size_t kMaxJsonBytesPerByte = 6;
// Texts longer than this are written a piece at a time, so that the room
// made for the worst case stays small.
constexpr std::size_t kPieceBytes = 4096;
// Room past the worst case: CopyPlainAscii stores eight bytes where one may
// be left, and a sequence that begins before a piece's end may pass it.
constexpr std::size_t kSlackBytes = 8;

// The JSON form of utf8 from i on, up to stop (a sequence that begins before
// stop is written whole), at out, which has room for kMaxJsonBytesPerByte
// bytes for each byte before stop and kSlackBytes more. Returns where it stopped, and
// out moved past what it wrote. Plain ASCII is copied eight bytes at a
// time, each longer sequence checked in place; each byte of an invalid
// sequence becomes \ufffd.
std::size_t WriteJsonChars(std::string_view utf8, std::size_t i, std::size_t stop, char*& out) {
  const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
  const std::size_t n = utf8.size();
  char* o = out;  // a local, which the bytes written cannot alias
  while (i < stop) {
    const unsigned char c = p[i];
    if (c >= 0x80) {
      const std::size_t len = MultiByteLength(p + i, n - i);
      if (len == 0) {
        std::memcpy(o, "\\ufffd", 6);
        o += 6;
        ++i;
        continue;
      }
      o[0] = static_cast<char>(c);
      o[1] = static_cast<char>(p[i + 1]);
      if (len > 2) o[2] = static_cast<char>(p[i + 2]);
      if (len > 3) o[3] = static_cast<char>(p[i + 3]);
      o += len;
      i += len;
    } else if (const std::size_t plain = CopyPlainAscii(p + i, std::min<std::size_t>(8, stop - i), o)) {
      o += plain;
      i += plain;
    } else {
      o = IsPlainAscii(c) ? CopyByte(c, o) : WriteEscape(c, o);
      ++i;
    }
  }
  out = o;
  return i;
}

// The whole of utf8 as a JSON string literal at o, which has room for
// JsonRoom(utf8.size()) bytes; returns the end.
constexpr std::size_t JsonRoom(std::size_t bytes) { return kMaxJsonBytesPerByte * bytes + 2 + kSlackBytes; }

char* WriteJsonString(std::string_view utf8, char* o) {
  *o++ = '"';
  WriteJsonChars(utf8, 0, utf8.size(), o);
  *o++ = '"';
  return o;
}

// A member of an object: what comes before its value (the punctuation and
// the quoted key, as they are), and the value, as a JSON string.
struct Member {
  std::string_view before;
  std::string_view value;
};

// The members and the end of an object, in one piece of room made for the
// worst case; values too long for that are written a piece at a time.
void AppendMembers(const Member* members, std::size_t count, std::string_view end, std::string& out) {
  std::size_t room = end.size();
  for (std::size_t k = 0; k < count; ++k) {
    if (members[k].value.size() > kPieceBytes) {
      for (std::size_t m = 0; m < count; ++m) {
        out += members[m].before;
        AppendJsonString(members[m].value, out);
      }
      out += end;
      return;
    }
    room += members[k].before.size() + JsonRoom(members[k].value.size());
  }
  const std::size_t start = out.size();
  out.resize(start + room);
  char* o = out.data() + start;
  for (std::size_t k = 0; k < count; ++k) {
    std::memcpy(o, members[k].before.data(), members[k].before.size());
    o = WriteJsonString(members[k].value, o + members[k].before.size());
  }
  std::memcpy(o, end.data(), end.size());
  out.resize(static_cast<std::size_t>(o + end.size() - out.data()));
}

// {"KEY":VALUE,... without its closing brace, so that more members may
// follow; cp949: the values are CP949.
void OpenJsonObject(const JsonField* fields, std::size_t count, bool cp949, std::string& out) {
  char separator = '{';
  for (std::size_t i = 0; i < count; ++i) {
    out += separator;
    separator = ',';
    AppendJsonString(fields[i].first, out);
    out += ':';
    if (cp949) {
      AppendJsonCp949String(fields[i].second, out);
    } else {
      AppendJsonString(fields[i].second, out);
    }
  }
}

}  // namespace

void AppendJsonString(std::string_view utf8, std::string& out) {
  out += '"';
  // Room is made for the worst case, written into, and the rest cut off.
  for (std::size_t i = 0; i < utf8.size();) {
    const std::size_t stop = std::min(utf8.size(), i + kPieceBytes);
    const std::size_t start = out.size();
    out.resize(start + kMaxJsonBytesPerByte * (stop - i) + kSlackBytes);
    char* o = out.data() + start;
    i = WriteJsonChars(utf8, i, stop, o);
    out.resize(static_cast<std::size_t>(o - out.data()));
  }
  out += '"';
}

void AppendJsonCp949String(std::string_view cp949, std::string& out) {
  // Not thread_local: workers run this, and a thread_local string corrupts
  // the heap when its thread ends under MinGW-w64 (GCC PR 80816).
  std::string utf8;
  Cp949ToUtf8(cp949, utf8);
  AppendJsonString(utf8, out);
}

namespace {

// [{"key":...,...},...]: each item as an object of the members.
template <typename T, std::size_t N>
void AppendObjectsJson(const std::vector<T>& items, const ListMember<T> (&members)[N], std::string& out) {
  out += '[';
  for (std::size_t i = 0; i < items.size(); ++i) {
    out += i ? ",{" : "{";
    for (std::size_t m = 0; m < N; ++m) {
      out += m ? ",\"" : "\"";
      out += members[m].key;
      out += "\":";
      AppendJsonString(items[i].*members[m].value, out);
    }
    out += '}';
  }
  out += ']';
}

}  // namespace

void AppendResultJson(const Result& r, std::string& out) {
  const AddressFields* f = r.fields ? &*r.fields : nullptr;
  const std::string_view none;
  const Member members[] = {
      {"{\"status\":", ConversionStatusName(r.status)},
      {",\"normalized\":", r.normalized},
      {",\"output\":", r.output},
      {",\"fields\":{\"detail\":", f ? f->detail : none},
      {",\"street\":", f ? f->street : none},
      {",\"district\":", f ? f->district : none},
      {",\"region\":", f ? f->region : none},
      {",\"postcode\":", f ? f->postcode : none},
      {",\"old_postcode\":", f ? f->oldPostcode : none},
      {",\"country\":", f ? f->country : none},
      {",\"source\":", f ? f->source : none},
  };
  if (f) {
    AppendMembers(members, std::size(members), "}", out);
  } else {
    AppendMembers(members, 3, ",\"fields\":null", out);
  }
  // Only where the data is unsure, so that every other result reads as before.
  if (!r.suggestions.empty()) {
    out += ",\"suggestions\":";
    AppendObjectsJson(r.suggestions, kSuggestionMembers, out);
  }
  out += ",\"warnings\":";
  AppendObjectsJson(r.warnings, kWarningMembers, out);
  out += '}';
}

void AppendZipJson(std::string_view key, const std::string* name, const ZipLines& lines, const Options* convert,
                   bool sample, std::string& out) {
  out += '{';
  AppendJsonString(key, out);
  out += ':';
  if (name) {
    AppendJsonString(*name, out);
  } else {
    out += "null";
  }
  out += ",\"records\":[";
  bool first = true;
  for (const auto& [line, r] : lines) {
    if (!first) out += ',';
    first = false;
    const JsonField fields[] = {
        {"zip_code", r.zipCode},  {"province", r.province}, {"district", r.district},
        {"locality", r.locality}, {"detail", r.detail},
    };
    OpenJsonObject(fields, std::size(fields), true, out);
    if (convert) {
      out += ",\"conversion\":";
      AppendJsonCp949String(ListLineConversion(line, *convert), out);
    }
    out += '}';
  }
  out += sample ? "],\"sample\":true}" : "],\"sample\":false}";
}

void AppendJsonObject(const JsonField* fields, std::size_t count, std::string& out) {
  OpenJsonObject(fields, count, false, out);
  out += '}';
}

void AppendLookupJson(std::string_view query, const AddressLookupResult& result, std::string& out) {
  out += "{\"query\":";
  AppendJsonString(query, out);
  out += ",\"matches\":[";
  for (std::size_t i = 0; i < result.matches.size(); ++i) {
    if (i > 0) out += ',';
    const AddressMatch& m = result.matches[i];
    const JsonField fields[] = {
        {"postcode", m.postcode}, {"address", m.address},   {"lot", m.lot},
        {"english", m.english},   {"building", m.building}, {"old_postcode", m.oldPostcode},
    };
    AppendJsonObject(fields, out);
    out.pop_back();
    out += ",\"score\":" + std::to_string(m.score) + ",\"matched\":";
    AppendJsonString(m.matched, out);
    out += '}';
  }
  out += "],\"more\":" + std::to_string(result.more);
  if (!result.note.empty()) {
    out += ",\"note\":";
    AppendJsonString(result.note, out);
  }
  out += '}';
}

void AppendNameJson(const NameResult& r, std::string& out) {
  const auto field = [&](const char* key, const std::string& value, bool present) {
    out += key;
    if (present) {
      AppendJsonString(value, out);
    } else {
      out += "null";
    }
  };
  out += r.isName ? "{\"name\":true," : "{\"name\":false,";
  field("\"family\":", r.family, r.isName);
  field(",\"given\":", r.given, r.isName);
  field(",\"output\":", r.output, true);
  field(",\"surname_table\":", SurnameTableName(r.surnameTable), r.isName);
  out += '}';
}

}  // namespace jasokit::cli

#include "cli/json.h"

#include <iterator>

#include "jasokit/cp949.h"

namespace jasokit::cli {

namespace {

struct Escape {
  char byte;
  const char* text;
};

constexpr Escape kEscapes[] = {
    {'"', "\\\""}, {'\\', "\\\\"}, {'\n', "\\n"}, {'\r', "\\r"}, {'\t', "\\t"}, {'\b', "\\b"}, {'\f', "\\f"},
};

constexpr const char* kReplacement = "\\ufffd";

constexpr bool IsPlainAscii(unsigned char c) { return c >= 0x20 && c < 0x80 && c != '"' && c != '\\'; }

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
  std::size_t i = 0;
  while (i < utf8.size()) {
    // Printable ASCII other than '"' and '\' goes out as it is, a run at a time.
    std::size_t plain = i;
    while (plain < utf8.size() && IsPlainAscii(static_cast<unsigned char>(utf8[plain]))) ++plain;
    if (plain > i) {
      out.append(utf8, i, plain - i);
      i = plain;
      continue;
    }
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x80) {
      const std::size_t n = ValidUtf8Length(utf8, i);
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

void AppendJsonCp949String(std::string_view cp949, std::string& out) {
  // Not thread_local: workers run this, and a thread_local string corrupts
  // the heap when its thread ends under MinGW-w64 (GCC PR 80816).
  std::string utf8;
  Cp949ToUtf8(cp949, utf8);
  AppendJsonString(utf8, out);
}

void AppendResultJson(const Result& r, std::string& out) {
  out += "{\"status\":";
  AppendJsonString(ConversionStatusName(r.status), out);
  out += ",\"normalized\":";
  AppendJsonString(r.normalized, out);
  out += ",\"output\":";
  AppendJsonString(r.output, out);
  out += ",\"fields\":";
  if (!r.fields) {
    out += "null}";
    return;
  }
  const AddressFields& f = *r.fields;
  const JsonField parts[] = {
      {"detail", f.detail},     {"street", f.street},   {"district", f.district}, {"region", f.region},
      {"postcode", f.postcode}, {"country", f.country}, {"source", f.source},
  };
  OpenJsonObject(parts, std::size(parts), false, out);
  out += "}}";
}

void AppendZipJson(std::string_view key, const std::string* name, const ZipLines& lines, const Options* convert,
                   std::string& out) {
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
  out += "]}";
}

void AppendJsonObject(const JsonField* fields, std::size_t count, std::string& out) {
  OpenJsonObject(fields, count, false, out);
  out += '}';
}

}  // namespace jasokit::cli

#include "cli/json.h"

#include "romanize/cp949.h"

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

}  // namespace

void AppendJsonString(std::string_view utf8, std::string& out) {
  out += '"';
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if (c >= 0x80) {
      const std::size_t n = detail::ValidUtf8Length(utf8, i);
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

void AppendJsonObject(const JsonField* fields, std::size_t count, std::string& out) {
  char separator = '{';
  for (std::size_t i = 0; i < count; ++i) {
    out += separator;
    separator = ',';
    AppendJsonString(fields[i].first, out);
    out += ':';
    AppendJsonString(*fields[i].second, out);
  }
  out += '}';
}

}  // namespace jasokit::cli

#include "service/batch_request.h"

#include <cstdint>

#include "bytes8.h"

namespace jasokit::cli {

namespace {

constexpr int kMaxDepth = 64;
constexpr std::uint32_t kReplacementCharacter = 0xFFFD;

void AppendUtf8(std::uint32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

class JsonReader {
 public:
  JsonReader(std::string_view text, std::size_t maxTexts, std::string& error)
      : m_text(text), m_maxTexts(maxTexts), m_error(error) {}

  BatchError Read(BatchRequest& out) {
    SkipSpace();
    if (!Expect('{')) return m_result;
    if (!ReadMembers(out)) return m_result;
    SkipSpace();
    if (m_at != m_text.size()) {
      Fail("text after the JSON object");
      return m_result;
    }
    if (!m_sawTexts) {
      m_error = "missing \"texts\"";
      return BatchError::kInvalid;
    }
    return BatchError::kNone;
  }

 private:
  bool ReadMembers(BatchRequest& out) {
    SkipSpace();
    if (Peek() == '}') {
      ++m_at;
      return true;
    }
    for (;;) {
      SkipSpace();
      std::string key;
      if (!ReadString(key)) return false;
      SkipSpace();
      if (!Expect(':')) return false;
      SkipSpace();
      if (!ReadMember(key, out)) return false;
      SkipSpace();
      if (Peek() == ',') {
        ++m_at;
        continue;
      }
      return Expect('}');
    }
  }

  bool ReadMember(const std::string& key, BatchRequest& out) {
    if (key == "texts") {
      m_sawTexts = true;
      return ReadTexts(out.texts);
    }
    if (key == "style" || key == "country") {
      std::string value;
      if (Peek() != '"') return Fail("\"" + key + "\" must be a string");
      if (!ReadString(value)) return false;
      (key == "style" ? out.style : out.country) = std::move(value);
      return true;
    }
    return SkipValue(1);
  }

  bool ReadTexts(BatchTexts& texts) {
    texts.clear();
    texts.Bytes().reserve(m_text.size() - m_at);  // no text takes more than its JSON
    if (Peek() != '[') return Fail("\"texts\" must be an array of strings");
    ++m_at;
    SkipSpace();
    if (Peek() == ']') {
      ++m_at;
      return true;
    }
    for (;;) {
      SkipSpace();
      if (Peek() != '"') return Fail("\"texts\" must be an array of strings");
      if (texts.size() == m_maxTexts) {
        m_error = "more than " + std::to_string(m_maxTexts) + " texts";
        m_result = BatchError::kTooMany;
        return false;
      }
      if (!ReadString(texts.Bytes())) return false;
      texts.EndText();
      SkipSpace();
      if (Peek() == ',') {
        ++m_at;
        continue;
      }
      return Expect(']');
    }
  }

  bool SkipValue(int depth) {
    if (depth > kMaxDepth) return Fail("nested too deeply");
    const char c = Peek();
    if (c == '"') {
      std::string ignored;
      return ReadString(ignored);
    }
    if (c == '{' || c == '[') return SkipContainer(depth);
    return SkipLiteral();
  }

  bool SkipContainer(int depth) {
    const char close = Peek() == '{' ? '}' : ']';
    ++m_at;
    SkipSpace();
    if (Peek() == close) {
      ++m_at;
      return true;
    }
    for (;;) {
      SkipSpace();
      if (close == '}') {
        std::string key;
        if (!ReadString(key)) return false;
        SkipSpace();
        if (!Expect(':')) return false;
        SkipSpace();
      }
      if (!SkipValue(depth + 1)) return false;
      SkipSpace();
      if (Peek() == ',') {
        ++m_at;
        continue;
      }
      return Expect(close);
    }
  }

  // Numbers, true, false and null: checked loosely, as nothing reads them.
  bool SkipLiteral() {
    for (const std::string_view word : {"true", "false", "null"}) {
      if (m_text.substr(m_at, word.size()) == word) {
        m_at += word.size();
        return true;
      }
    }
    const std::size_t start = m_at;
    while (m_at < m_text.size() && std::string_view("+-0123456789.eE").find(m_text[m_at]) != std::string_view::npos) {
      ++m_at;
    }
    if (m_at == start) return Fail("a value expected");
    return true;
  }

  bool ReadString(std::string& out) {
    if (!Expect('"')) return false;
    for (;;) {
      // The bytes up to a quote, a backslash or a control character go in
      // at once.
      const std::size_t end = PlainEnd(m_at);
      out.append(m_text, m_at, end - m_at);
      m_at = end;
      if (m_at >= m_text.size()) return Fail("a string never closed");
      const auto c = static_cast<unsigned char>(m_text[m_at++]);
      if (c == '"') return true;
      if (c < 0x20) return Fail("a control character in a string");
      if (!ReadEscape(out)) return false;
    }
  }

  static bool IsPlain(unsigned char c) { return c >= 0x20 && c != '"' && c != '\\'; }

  // Where the plain bytes from at end, looked at eight at a time: a borrow
  // in the tests may flag a byte after a flagged one, never one before.
  std::size_t PlainEnd(std::size_t at) const {
    using namespace platform;
    for (; m_text.size() - at >= 8; at += 8) {
      const std::uint64_t v = Load8(m_text.data() + at);
      // Under 0x20 (bytes of 0x80 and more pass), a quote, a backslash.
      if (BytesBelow(v, 0x20) | BytesEqual(v, '"') | BytesEqual(v, '\\')) break;
    }
    while (at < m_text.size() && IsPlain(static_cast<unsigned char>(m_text[at]))) ++at;
    return at;
  }

  bool ReadEscape(std::string& out) {
    if (m_at >= m_text.size()) return Fail("a string never closed");
    const char c = m_text[m_at++];
    constexpr std::string_view kFrom = "\"\\/bfnrt";
    constexpr std::string_view kTo = "\"\\/\b\f\n\r\t";
    const std::size_t simple = kFrom.find(c);
    if (simple != std::string_view::npos) {
      out += kTo[simple];
      return true;
    }
    if (c != 'u') return Fail("an unknown escape");
    std::uint32_t unit = 0;
    if (!ReadHex(unit)) return false;
    if (unit >= 0xD800 && unit < 0xDC00 && m_text.substr(m_at, 2) == "\\u") {
      const std::size_t before = m_at;
      m_at += 2;
      std::uint32_t low = 0;
      if (!ReadHex(low)) return false;
      if (low >= 0xDC00 && low < 0xE000) {
        AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00), out);
        return true;
      }
      m_at = before;  // a lone high surrogate; the next escape stands alone
    }
    AppendUtf8(unit >= 0xD800 && unit < 0xE000 ? kReplacementCharacter : unit, out);
    return true;
  }

  bool ReadHex(std::uint32_t& value) {
    if (m_text.size() - m_at < 4) return Fail("a \\u escape cut short");
    for (int i = 0; i < 4; ++i) {
      const char c = m_text[m_at++];
      std::uint32_t digit = 0;
      if (c >= '0' && c <= '9') {
        digit = static_cast<std::uint32_t>(c - '0');
      } else if (c >= 'a' && c <= 'f') {
        digit = static_cast<std::uint32_t>(c - 'a' + 10);
      } else if (c >= 'A' && c <= 'F') {
        digit = static_cast<std::uint32_t>(c - 'A' + 10);
      } else {
        return Fail("a \\u escape with no hex digits");
      }
      value = value * 16 + digit;
    }
    return true;
  }

  char Peek() const { return m_at < m_text.size() ? m_text[m_at] : '\0'; }

  void SkipSpace() {
    while (m_at < m_text.size() &&
           (m_text[m_at] == ' ' || m_text[m_at] == '\t' || m_text[m_at] == '\n' || m_text[m_at] == '\r')) {
      ++m_at;
    }
  }

  bool Expect(char c) {
    if (Peek() == c && m_at < m_text.size()) {
      ++m_at;
      return true;
    }
    return Fail(std::string("'") + c + "' expected");
  }

  bool Fail(const std::string& why) {
    m_error = "invalid JSON at byte " + std::to_string(m_at) + ": " + why;
    m_result = BatchError::kInvalid;
    return false;
  }

  std::string_view m_text;
  std::size_t m_maxTexts;
  std::string& m_error;
  std::size_t m_at = 0;
  bool m_sawTexts = false;
  BatchError m_result = BatchError::kInvalid;
};

}  // namespace

BatchError ParseBatchRequest(std::string_view body, std::size_t maxTexts, BatchRequest& out, std::string& error) {
  out = BatchRequest();
  error.clear();
  JsonReader reader(body, maxTexts, error);
  const BatchError result = reader.Read(out);
  if (result != BatchError::kNone) out.texts.clear();
  return result;
}

}  // namespace jasokit::cli

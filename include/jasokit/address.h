#pragma once
// The classic address converter on CP949 text: recognises a postal address by
// its first word (a province or metropolitan city) and renders its words in
// reverse order, smallest unit first, ending in "S.KOREA".
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jasokit/export.h"
#include "jasokit/romanizer.h"

namespace jasokit {

namespace detail {
struct ConverterAccess;
}

class JASOKIT_API AddressConverter {
 public:
  // Splits a zero-terminated CP949 text at every space byte; an empty text
  // leaves the converter as it was.
  void SetInput(const char* text);
  // The same for a CP949 text that ends at its first NUL byte or its end.
  void SetInput(std::string_view text);
  // True if the first word names a province or metropolitan city; parts()
  // then holds one Roman component per word, "S.KOREA" first.
  bool Recognize();
  // Writes the components, last first, each followed by one space, into
  // buffer (kOutputBufferBytes + 1 bytes), NUL-terminated, cut at the last
  // character that fits.
  void Render(char* buffer) const;

  const std::vector<std::string>& parts() const { return m_parts; }
  const std::vector<std::string>& tokens() const { return m_tokens; }
  std::int32_t tokenCount() const { return static_cast<std::int32_t>(m_tokens.size()); }

 private:
  friend struct detail::ConverterAccess;

  // Appends R(name) + suffix as a new component.
  void AddUnitPart(std::string_view name, std::string_view suffix);
  void ClassifyRemainder(std::string_view token);

  std::vector<std::string> m_tokens;
  std::vector<std::string> m_parts;
  HangulRomanizer m_romanizer;
};

}  // namespace jasokit

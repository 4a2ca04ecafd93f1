#pragma once
// Recognises a Korean postal address by its first token and renders it as an
// English-order address ending in "S.KOREA".
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "romanize/hangul_romanizer.h"

namespace jasokit {

inline constexpr std::size_t kOutputBufferBytes = 1024;

// Romanizes one name with the given engine; empty for an empty name.
std::string RomanizeName(HangulRomanizer& romanizer, const std::string& name);

// Joins parts from last to first, each followed by one space, into buffer
// (kOutputBufferBytes + 1 bytes). Cut at a character boundary when too long.
void Render(const std::vector<std::string>& parts, char* buffer);

class AddressConverter {
 public:
  void SetInput(const char* text);
  bool Recognize();
  void Render(char* buffer) const;

  const std::vector<std::string>& parts() const { return m_parts; }
  const std::vector<std::string>& tokens() const { return m_tokens; }
  std::int32_t tokenCount() const { return m_tokenCount; }

 private:
  std::string RomanizeName(const std::string& name);

  std::int32_t m_tokenCount = 0;
  std::vector<std::string> m_tokens;
  std::vector<std::string> m_parts;
  HangulRomanizer m_romanizer;
};

}  // namespace jasokit

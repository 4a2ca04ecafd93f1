#pragma once
// Small helpers shared by the test programs.
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

#include "romanize/cp949.h"

namespace jasokit::test {

// Test texts are written in UTF-8 and converted to CP949 like the program's own input.
inline std::string Cp(std::string_view utf8) {
  std::string out;
  Utf8ToCp949(utf8, out);
  return out;
}

inline std::string Utf8(std::string_view cp949) {
  std::string out;
  Cp949ToUtf8(cp949, out);
  return out;
}

inline std::string Repeat(std::string_view s, std::size_t n) {
  std::string out;
  out.reserve(s.size() * n);
  for (std::size_t i = 0; i < n; ++i) out += s;
  return out;
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A fresh folder under the system's temporary folder, removed with its
// contents at the end of the test.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "jasokit-test-XXXXXX").string();
    if (mkdtemp(&pattern[0]) == nullptr) std::abort();
    m_path = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  std::string File(const std::string& name) const { return (m_path / name).string(); }
  std::string Dir() const { return m_path.string() + "/"; }
  const std::filesystem::path& path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

}  // namespace jasokit::test

#pragma once
// Small helpers shared by the test programs.
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>

#include "jasokit/address_db_builder.h"
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

// The database the builder holds, as its file's bytes; empty when it
// cannot be written.
inline std::string BuiltBytes(AddressDbBuilder& builder) {
  std::ostringstream out;
  return builder.Write(out) ? out.str() : std::string();
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

// The environment, the same on every system (Windows has no setenv).
inline void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

inline void UnsetEnv(const char* name) {
#ifdef _WIN32
  _putenv_s(name, "");  // an empty value removes it there
#else
  unsetenv(name);
#endif
}

// A fresh folder under the system's temporary folder, removed with its
// contents at the end of the test.
class TempDir {
 public:
  TempDir() {
    // A name nobody holds, made here: create_directory fails on one that exists.
    std::random_device seed;
    std::mt19937_64 random((std::uint64_t{seed()} << 32) ^ seed());
    for (int attempt = 0; attempt < 100; ++attempt) {
      m_path = std::filesystem::temp_directory_path() / ("jasokit-test-" + std::to_string(random() % 1000000000));
      std::error_code ec;
      if (std::filesystem::create_directory(m_path, ec)) return;
    }
    std::abort();
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // UTF-8 in and out: a plain std::string is the ANSI code page to a path
  // on Windows.
  std::string File(const std::string& name) const { return (m_path / std::filesystem::u8path(name)).u8string(); }
  std::string Dir() const { return m_path.string() + "/"; }
  const std::filesystem::path& path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

}  // namespace jasokit::test

#pragma once
// CRC-32C (Castagnoli), the checksum of the address database's header and
// sections: tables made at compile time, eight bytes a step.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace jasokit::detail::addrdb {

inline constexpr std::uint32_t kCrc32cPolynomial = 0x82F63B78u;  // reflected

using Crc32cTables = std::array<std::array<std::uint32_t, 256>, 8>;

constexpr Crc32cTables MakeCrc32cTables() {
  Crc32cTables t{};
  for (std::uint32_t b = 0; b < 256; ++b) {
    std::uint32_t c = b;
    for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? (c >> 1) ^ kCrc32cPolynomial : c >> 1;
    t[0][b] = c;
  }
  for (std::size_t k = 1; k < 8; ++k) {
    for (std::size_t b = 0; b < 256; ++b) t[k][b] = (t[k - 1][b] >> 8) ^ t[0][t[k - 1][b] & 0xFF];
  }
  return t;
}

inline constexpr Crc32cTables kCrc32cTables = MakeCrc32cTables();

// Continues crc (0 to start) over bytes.
inline std::uint32_t Crc32c(std::string_view bytes, std::uint32_t crc = 0) {
  const auto& t = kCrc32cTables;
  crc = ~crc;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t n = bytes.size();
  // Eight bytes at once, read byte by byte so that the order of the host's
  // bytes does not matter.
  for (; n >= 8; n -= 8, p += 8) {
    const std::uint32_t lo =
        crc ^ (std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24);
    crc = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^ t[3][p[4]] ^
          t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
  }
  for (; n > 0; --n, ++p) crc = (crc >> 8) ^ t[0][(crc ^ *p) & 0xFF];
  return ~crc;
}

}  // namespace jasokit::detail::addrdb

#pragma once
// Tests on eight bytes at once, for the scanners of text that run over
// mostly plain bytes. Flags are the high bits of the bytes they mark.
#include <cstdint>
#include <cstring>

namespace jasokit::platform {

constexpr std::uint64_t kEachByte = 0x0101010101010101u;
constexpr std::uint64_t kHighBits = kEachByte * 0x80;

inline std::uint64_t Load8(const void* p) {
  std::uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// Flags the bytes under n (n at most 0x80); bytes of 0x80 and more are not
// flagged. A borrow may flag a byte after a flagged one (a higher byte),
// never one before it: whether any is flagged, and the lowest flag, are exact.
constexpr std::uint64_t BytesBelow(std::uint64_t v, unsigned n) { return (v - kEachByte * n) & ~v & kHighBits; }

// Flags the bytes equal to c, as BytesBelow does.
constexpr std::uint64_t BytesEqual(std::uint64_t v, unsigned char c) { return BytesBelow(v ^ (kEachByte * c), 1); }

// Flags exactly the bytes that are zero.
constexpr std::uint64_t ZeroBytes(std::uint64_t v) {
  constexpr std::uint64_t kLow = kEachByte * 0x7F;
  return ~(((v & kLow) + kLow) | v | kLow);
}

}  // namespace jasokit::platform

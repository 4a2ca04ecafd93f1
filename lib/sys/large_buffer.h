#pragma once
// Memory for a large image that is filled once and then read: the zip table.
#include <cstddef>

namespace jasokit::detail {

// A freshly allocated 4 MB buffer costs a thousand page faults, which take
// longer than the rest of a zip lookup together (and far longer on some
// virtual machines); in huge pages it is a handful. So a large buffer is
// aligned to huge pages and, where the system takes such advice, asks for
// them.
class LargeBuffer {
 public:
  LargeBuffer() = default;
  LargeBuffer(const LargeBuffer&) = delete;
  LargeBuffer& operator=(const LargeBuffer&) = delete;
  ~LargeBuffer() { Release(); }

  // Replaces the buffer with one of bytes bytes; false when the memory
  // cannot be had.
  bool Allocate(std::size_t bytes);
  char* data() const { return m_data; }

 private:
  void Release();

  char* m_data = nullptr;
  std::size_t m_capacity = 0;
  bool m_aligned = false;
};

}  // namespace jasokit::detail

#include "sys/large_buffer.h"

#include <new>

// Advice to the system, so a system without it loses speed, nothing else.
// The library's other system calls are in system-posix.cpp and
// system-windows.cpp.
#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#endif

namespace jasokit::detail {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

void AdviseHugePages([[maybe_unused]] char* data, [[maybe_unused]] std::size_t bytes) {
#if defined(MADV_HUGEPAGE)
  ::madvise(data, bytes, MADV_HUGEPAGE);
#endif
}

}  // namespace

bool LargeBuffer::Allocate(std::size_t bytes) {
  Release();
  if (bytes >= kHugePage / 2) {
    m_capacity = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    m_data = static_cast<char*>(::operator new(m_capacity, std::align_val_t(kHugePage), std::nothrow));
    m_aligned = true;
    if (m_data) AdviseHugePages(m_data, m_capacity);
  } else {
    m_capacity = bytes == 0 ? 1 : bytes;
    m_data = static_cast<char*>(::operator new(m_capacity, std::nothrow));
    m_aligned = false;
  }
  if (!m_data) m_capacity = 0;
  return m_data != nullptr;
}

void LargeBuffer::Release() {
  if (!m_data) return;
  if (m_aligned) {
    ::operator delete(m_data, std::align_val_t(kHugePage));
  } else {
    ::operator delete(m_data);
  }
  m_data = nullptr;
  m_capacity = 0;
}

}  // namespace jasokit::detail

// What TableFile does the same on every system; the system's part is in
// platform-posix.cpp and platform-windows.cpp.
#include "platform/platform.h"

namespace jasokit::cli {

namespace {

constexpr std::size_t kFlushBytes = 1 << 16;

}  // namespace

bool TableFile::Write(std::string_view bytes, std::string& error) {
  if (m_fd < 0) {
    error = "error writing " + m_target;
    return false;
  }
  m_buffer.append(bytes);
  return m_buffer.size() < kFlushBytes || Flush(error);
}

}  // namespace jasokit::cli

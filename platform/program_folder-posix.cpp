#include "platform/program_folder.h"

#if defined(__APPLE__)
#include <mach-o/dyld.h>
#include <stdlib.h>

#include <climits>
#include <cstdint>
#else
#include <unistd.h>
#endif

namespace jasokit::platform {

namespace {

std::string ExecutablePath() {
#if defined(__APPLE__)
  std::uint32_t size = 0;
  _NSGetExecutablePath(nullptr, &size);
  std::string buffer(size, '\0');
  if (size == 0 || _NSGetExecutablePath(&buffer[0], &size) != 0) return std::string();
  char resolved[PATH_MAX];
  if (realpath(buffer.c_str(), resolved) == nullptr) return std::string();
  return resolved;
#else
  std::string buffer(256, '\0');
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", &buffer[0], buffer.size());
    if (n <= 0) return std::string();
    if (static_cast<std::size_t>(n) < buffer.size()) return buffer.substr(0, static_cast<std::size_t>(n));
    if (buffer.size() >= (1u << 16)) return std::string();  // a truncated path is no path
    buffer.resize(buffer.size() * 2);
  }
#endif
}

}  // namespace

std::string ExecutableDirectory() {
  const std::string path = ExecutablePath();
  const auto sep = path.rfind('/');
  if (sep == std::string::npos) return std::string();
  return path.substr(0, sep + 1);
}

}  // namespace jasokit::platform

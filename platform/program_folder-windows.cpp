#include "platform/program_folder.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace jasokit::platform {

std::string ExecutableDirectory() {
  std::string buffer(MAX_PATH, '\0');
  std::string path;
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) {
      path.assign(buffer, 0, n);
      break;
    }
    if (buffer.size() >= 32768) return std::string();  // a truncated path is no path
    buffer.resize(buffer.size() * 2);
  }
  const auto sep = path.find_last_of("\\/:");
  if (sep == std::string::npos) return std::string();
  return path.substr(0, sep + 1);
}

}  // namespace jasokit::platform

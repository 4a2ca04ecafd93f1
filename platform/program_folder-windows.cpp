#include "platform/program_folder.h"
#include "utf16.h"

namespace jasokit::platform {

std::string ExecutableDirectory() {
  // Wide, so that a folder named in Korean (or any script outside the ANSI
  // code page) arrives whole.
  std::wstring buffer(MAX_PATH, L'\0');
  std::wstring path;
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size()) {
      path.assign(buffer, 0, n);
      break;
    }
    if (buffer.size() >= 32768) return std::string();  // a truncated path is no path
    buffer.resize(buffer.size() * 2);
  }
  const auto sep = path.find_last_of(L"\\/:");
  if (sep == std::wstring::npos) return std::string();
  return Narrow(std::wstring_view(path).substr(0, sep + 1));
}

}  // namespace jasokit::platform

#pragma once
// UTF-8 inside, UTF-16 at the Windows API.
#include <string>
#include <string_view>

namespace jasokit::win32 {

std::wstring Wide(std::string_view utf8);
std::string Utf8(std::wstring_view wide);

}  // namespace jasokit::win32

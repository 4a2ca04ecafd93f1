#pragma once
// CP949 (the Korean Windows code page) to and from UTF-8, for callers of the
// CP949 operations. Table driven, so every platform and locale converts
// alike; nothing here fails.
#include <string>
#include <string_view>

#include "jasokit/export.h"

namespace jasokit {

// Appends the CP949 form of utf8 to out. Characters with no CP949 form and
// bytes that are not valid UTF-8 become '?'; returns false if that happened.
JASOKIT_API bool Utf8ToCp949(std::string_view utf8, std::string& out);

// Appends the UTF-8 form of cp949 to out. An invalid byte becomes U+FFFD and
// decoding resumes at the next byte; returns false if that happened.
JASOKIT_API bool Cp949ToUtf8(std::string_view cp949, std::string& out);

}  // namespace jasokit

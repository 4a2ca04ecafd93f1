#pragma once
// The banner panel where no web browser control is at hand shows the
// offline page's text: its body without tags, one line per <br> or block.
#include <string>
#include <string_view>

namespace jasokit {

// The offline page, beside the executable.
inline constexpr const char* kOfflineBannerFileName = "jasokit_view_off.html";

std::string BannerText(std::string_view html);

}  // namespace jasokit

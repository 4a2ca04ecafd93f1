#pragma once
// The banner panel where no web browser control is at hand shows the
// offline page's text: its body without tags, one line per <br> or block.
#include <string>
#include <string_view>

namespace jasokit {

std::string BannerText(std::string_view html);

}  // namespace jasokit

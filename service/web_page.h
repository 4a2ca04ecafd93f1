#pragma once
// The service's page, built into the program from service/index.html, so that
// no request reads a file. Each "%NONCE%" in it is a per-answer nonce.
#include <cstddef>

namespace jasokit::cli {

extern const char kWebPage[];
extern const std::size_t kWebPageSize;

}  // namespace jasokit::cli

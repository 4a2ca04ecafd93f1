#pragma once
// What the programs ask of the system about themselves. The library never
// asks: it is given paths.
#include <string>

namespace jasokit::platform {

// Folder of the running executable with a trailing separator; empty when the
// system cannot tell.
std::string ExecutableDirectory();

}  // namespace jasokit::platform

#pragma once
// What the programs ask of the system about themselves. The library does not
// ask where a program lives; it asks only where its address database may be
// (JASOKIT_ADDRDB and the user's folder, lib/sys/).
#include <string>

namespace jasokit::platform {

// Folder of the running executable with a trailing separator; empty when the
// system cannot tell.
std::string ExecutableDirectory();

}  // namespace jasokit::platform

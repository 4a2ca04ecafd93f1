#pragma once
// What the programs ask of the system about themselves. The library does not
// ask where a program lives; it asks only where its address database may be
// (JASOKIT_ADDRDB and the user's folder, lib/sys/).
#include <string>

namespace jasokit::platform {

// Folder of the running executable with a trailing separator; empty when the
// system cannot tell.
std::string ExecutableDirectory();

// The file name in folder (a program's, with its trailing separator); empty
// when the folder is unknown, which must not turn into the current directory.
inline std::string FileBeside(const std::string& folder, const char* name) {
  return folder.empty() ? std::string() : folder + name;
}

}  // namespace jasokit::platform

// For a build without a zip reader: the user unpacks the zip.
#include "cli/addrdb_source.h"

namespace jasokit::cli {

std::string ForEachZipEntry(const std::string& path, const std::function<bool(SourceText&)>&,
                            std::vector<std::string>*) {
  return "cannot read " + path + ": this build reads no zips; unpack it and give its .txt files";
}

}  // namespace jasokit::cli

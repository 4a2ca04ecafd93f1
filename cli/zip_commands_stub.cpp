// Placeholder until the zip code table lands.
#include "cli/cli.h"

namespace jasokit::cli {

int RunZip(const Args&, CliIo& io) {
  io.Error("jasokit zip: not available in this build\n");
  return kExitUsage;
}

int RunZipDb(const Args&, CliIo& io) {
  io.Error("jasokit zipdb: not available in this build\n");
  return kExitUsage;
}

}  // namespace jasokit::cli

#include "cli/cli.h"
#include "jasokit/address_db.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  // An address database cut short under the program is an error, not its end.
  const jasokit::AddressDbFaultGuard guard;
  const std::unique_ptr<jasokit::cli::CliIo> io = jasokit::cli::StandardIo();
  const jasokit::cli::Args args = jasokit::cli::CommandLineArgs(argc, argv);
  return jasokit::cli::RunCli(args, *io);
}

#include "cli/cli.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
  const std::unique_ptr<jasokit::cli::CliIo> io = jasokit::cli::StandardIo();
  const jasokit::cli::Args args = jasokit::cli::CommandLineArgs(argc, argv);
  return jasokit::cli::RunCli(args, *io);
}

#include "cli/cli.h"
#include "cli/platform.h"

int main(int argc, char** argv) {
  const std::unique_ptr<jasokit::cli::CliIo> io = jasokit::cli::StandardIo();
  const jasokit::cli::Args args = jasokit::cli::CommandLineArgs(argc, argv);
  return jasokit::cli::RunCli(args, *io);
}

#include "cli/cli.h"
#include "cli/platform.h"

int main(int argc, char** argv) {
  const std::unique_ptr<jasokit::cli::CliIo> io = jasokit::cli::StandardIo();
  jasokit::cli::Args args(argv + 1, argv + argc);
  return jasokit::cli::RunCli(args, *io);
}

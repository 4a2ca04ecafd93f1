#include "cli/cli.h"
#include "cli/io-posix.h"

int main(int argc, char** argv) {
  jasokit::cli::PosixIo io;
  jasokit::cli::Args args(argv + 1, argv + argc);
  return jasokit::cli::RunCli(args, io);
}

#pragma once
// The jasokit command line: a table of subcommands over the text library.
// Commands talk to the world only through the platform interface
// (cli/platform.h), so tests can run them in memory.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/platform.h"

namespace jasokit::cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitRefused = 1,    // convert, romanize: at least one input was refused as too long
  kExitUsage = 2,      // bad command line; convert --csv: badly formed CSV; zipdb: a CSV with a header and no rows
  kExitIo = 3,         // reading or writing failed; zipdb: the output is no regular file
  kExitTableError = 1,  // zip: the table could not be loaded
  kExitNotFound = 4,   // zip: no record matched
  kExitDataError = 5,  // a data file could not be read or written
};

using Args = std::vector<std::string>;

struct Command {
  const char* name;
  const char* summary;
  int (*run)(const Args& args, CliIo& io);
};

int RunConvert(const Args& args, CliIo& io);
int RunRomanize(const Args& args, CliIo& io);
int RunZip(const Args& args, CliIo& io);
int RunZipDb(const Args& args, CliIo& io);

// argv[0] excluded.
int RunCli(const Args& args, CliIo& io);

// Escapes backslash, tab, CR and LF for a TSV field.
void AppendTsvField(std::string_view field, std::string& out);

}  // namespace jasokit::cli

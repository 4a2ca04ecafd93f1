#pragma once
// The jasokit command line: a table of subcommands over the text library.
// Commands talk to the world only through the platform interface
// (platform/platform.h), so tests can run them in memory.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace jasokit::cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitTableError = 1,  // the zip table (as the window ends) or the address database could not be loaded
  kExitUsage = 2,       // bad command line; convert --csv: badly formed CSV; zipdb: a CSV with a header and no rows
  kExitIo = 3,          // reading or writing failed; zipdb: the output is no regular file
  kExitNotFound = 4,    // zip: no record matched
  kExitDataError = 5,   // a data file could not be read or written
  kExitRefused = 6,     // convert, romanize: at least one input was refused as too long
};

using Args = std::vector<std::string>;

struct OptionRule;
struct ParsedArgs;

// One command, whole: what --help lists, its own help, the options it takes,
// and what runs once they are read.
struct Command {
  const char* name;
  const char* summary;  // one line of 'jasokit --help'
  const char* help;     // 'jasokit NAME --help'
  const OptionRule* options;
  std::size_t optionCount;
  const char* subcommand;  // the word that must come first ("build"), or nullptr
  int (*run)(const ParsedArgs& parsed, CliIo& io);
};

extern const Command kConvertCommand;
extern const Command kRomanizeCommand;
extern const Command kZipCommand;
extern const Command kZipDbCommand;
extern const Command kServeCommand;
extern const Command kAddrDbCommand;
extern const Command kLookupCommand;

// argv[0] excluded.
int RunCli(const Args& args, CliIo& io);

// The exit status of a table file that could not be opened or committed:
// kExitIo for no regular file, kExitUsage for the input itself, else
// kExitDataError; kExitOk for Ok.
int ExitCodeOf(TableFileStatus status);

// Escapes backslash, tab, CR and LF for a TSV field.
void AppendTsvField(std::string_view field, std::string& out);

}  // namespace jasokit::cli

#pragma once
// One option parser for every command: a table of options, long options
// with their value given as "--name VALUE" or "--name=VALUE", "--" to end
// them, and a "did you mean" for a near miss.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.h"

namespace jasokit::cli {

struct OptionSpec {
  const char* name;       // "--db"
  const char* shortName;  // "-o", or nullptr
  const char* value;      // its value for messages ("a FILE"), or nullptr when it takes none
};

struct ParsedOption {
  std::size_t spec;   // index into the table
  std::string value;  // for options that take one
};

struct ParsedArgs {
  std::vector<ParsedOption> options;  // in command-line order
  std::vector<const std::string*> operands;
  bool help = false;  // --help or -h was given

  bool Has(std::size_t spec) const;
  // The last value given for spec, or nullptr.
  const std::string* Value(std::size_t spec) const;
};

// Parses args against specs; --help and -h are always known. The operands
// point into args. On a usage
// error it reports "jasokit COMMAND: ..." on standard error and returns false.
bool ParseOptions(const Args& args, const OptionSpec* specs, std::size_t specCount, const char* command,
                  CliIo& io, ParsedArgs& out);

template <std::size_t N>
bool ParseOptions(const Args& args, const OptionSpec (&specs)[N], const char* command, CliIo& io,
                  ParsedArgs& out) {
  return ParseOptions(args, specs, N, command, io, out);
}

// The candidate nearest to word when it is a likely misspelling of it
// (a small edit distance for its length), else "".
std::string NearestName(std::string_view word, const std::vector<std::string_view>& candidates);

// Reports a usage error: "jasokit COMMAND: MESSAGE; run 'jasokit COMMAND --help'".
int UsageError(CliIo& io, const char* command, const std::string& message);

}  // namespace jasokit::cli

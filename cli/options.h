#pragma once
// One option parser for every command: a table of options, long options
// with their value given as "--name VALUE" or "--name=VALUE", "--" to end
// them, and a "did you mean" for a near miss.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli.h"
#include "jasokit/style.h"

namespace jasokit::cli {

struct OptionRule {
  std::size_t id;         // the command's own name for the option, its row's index
  const char* name;       // "--db"
  const char* shortName;  // "-o", or nullptr
  const char* value;      // its value for messages ("a FILE"), or nullptr when it takes none
};

// Whether every row of a command's table stands where its id says, so that
// the id names the row and a table put in another order does not compile.
template <std::size_t N>
constexpr bool InIdOrder(const OptionRule (&rules)[N]) {
  for (std::size_t i = 0; i < N; ++i) {
    if (rules[i].id != i) return false;
  }
  return true;
}

// A command's row, its option count taken from the table itself.
template <std::size_t N>
constexpr Command MakeCommand(const char* name, const char* summary, const char* help, const OptionRule (&rules)[N],
                              int (*run)(const ParsedArgs&, CliIo&), const char* subcommand = nullptr) {
  return Command{name, summary, help, rules, N, subcommand, run};
}

struct ParsedOption {
  std::size_t rule;   // index into the table
  std::string value;  // for options that take one
};

struct ParsedArgs {
  std::vector<ParsedOption> options;  // in command-line order
  std::vector<const std::string*> operands;
  bool help = false;  // --help or -h was given

  bool Has(std::size_t rule) const;
  // The last value given for rule, or nullptr.
  const std::string* Value(std::size_t rule) const;
};

// Parses args against rules; --help and -h are always known. The operands
// point into args. On a usage
// error it reports "jasokit COMMAND: ..." on standard error and returns false.
bool ParseOptions(const Args& args, const OptionRule* rules, std::size_t ruleCount, const char* command, CliIo& io,
                  ParsedArgs& out);

template <std::size_t N>
bool ParseOptions(const Args& args, const OptionRule (&rules)[N], const char* command, CliIo& io, ParsedArgs& out) {
  return ParseOptions(args, rules, N, command, io, out);
}

// The candidate nearest to word when it is a likely misspelling of it
// (a small edit distance for its length), else "".
std::string NearestName(std::string_view word, const std::vector<std::string_view>& candidates);

// The --style option's value (classic when not given) into style; false after
// reporting an unknown style.
bool StyleOption(const ParsedArgs& parsed, std::size_t option, const char* command, CliIo& io, Style& style);

// A count written in decimal digits (at most nine), or nothing.
std::optional<std::size_t> ParseCount(const std::string& text);

// The options that choose a CSV field and where its result goes, by their
// index in a command's option table.
struct CsvOptionIds {
  std::size_t column, header, inPlace, outputColumn;
};

// What those options say.
struct CsvColumnChoice {
  std::size_t column = 0;                   // 0-based
  const std::string* columnName = nullptr;  // --column NAME, found in the header
  bool header = false;
  bool inPlace = false;
  std::string outputColumn;  // the new column's name; the caller's default
};

// Refuses any of those options without csv; 0 or kExitUsage after reporting.
int RefuseCsvOnly(const ParsedArgs& parsed, const OptionRule* rules, const CsvOptionIds& ids, bool csv,
                  const char* command, CliIo& io);

// Reads those options into choice; 0 or kExitUsage after reporting.
int ReadCsvColumnChoice(const ParsedArgs& parsed, const CsvOptionIds& ids, const char* command, CliIo& io,
                        CsvColumnChoice& choice);

// Reports a usage error: "jasokit COMMAND: MESSAGE; run 'jasokit COMMAND --help'".
int UsageError(CliIo& io, const char* command, const std::string& message);

}  // namespace jasokit::cli

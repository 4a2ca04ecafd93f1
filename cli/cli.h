#pragma once
// The jasokit command line: a table of subcommands over the text library.
// Commands talk to the world only through CliIo, so tests can run them in
// memory.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

class CliIo {
 public:
  virtual ~CliIo() = default;
  // Reads up to size bytes of standard input; 0 at the end, -1 on error.
  virtual long Read(char* buffer, std::size_t size) = 0;
  // Buffered standard output; false once a write has failed.
  virtual bool Write(std::string_view bytes) = 0;
  virtual bool Flush() = 0;
  // Standard error, unbuffered.
  virtual void Error(std::string_view bytes) = 0;
  // Folder of the running executable, with a trailing separator.
  virtual std::string ExecutableDir() = 0;

  // Whether Read would return at once (data waiting, or the end): false
  // for a terminal or a pipe with nothing typed or sent yet, so that what
  // was read can be answered before waiting for more.
  virtual bool InputReady() { return true; }
  // The size of standard input when it is a regular file.
  virtual std::optional<std::uint64_t> InputFileSize() { return std::nullopt; }
  // Whether standard error is a terminal, which a progress meter may draw on.
  virtual bool ErrorIsTerminal() { return false; }
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
int RunAddrDb(const Args& args, CliIo& io);
int RunLookup(const Args& args, CliIo& io);

// argv[0] excluded.
int RunCli(const Args& args, CliIo& io);

// Escapes backslash, tab, CR and LF for a TSV field.
void AppendTsvField(std::string_view field, std::string& out);

}  // namespace jasokit::cli

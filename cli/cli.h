#pragma once
// The jasokit command line: a table of subcommands over the text library.
// Commands talk to the world only through CliIo, so tests can run them in
// memory.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace jasokit::cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitRefused = 1,    // convert, romanize: at least one input was refused as too long
  kExitUsage = 2,      // bad command line
  kExitIo = 3,         // reading or writing failed
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

// Reads standard input line by line; a line ends at LF, which is not part of
// it (a CR before it is). Returns false on a read error.
class LineReader {
 public:
  explicit LineReader(CliIo& io) : m_io(io) {}
  // Sets line to the next line; false at the end of input or on error.
  bool Next(std::string& line);
  bool failed() const { return m_failed; }

 private:
  CliIo& m_io;
  std::string m_buffer;
  std::size_t m_pos = 0;
  bool m_eof = false;
  bool m_failed = false;
};

// Feeds each(text, where, number) every argument in texts, or every line of
// standard input when there are none ("argument 2", "line 3"), stopping when
// each returns false; then flushes. stripCr drops the CR of a CRLF line end.
// Returns kExitOk, or kExitIo after reporting the read or write error.
template <typename Each>
int ForEachInput(const std::vector<const std::string*>& texts, CliIo& io, const char* command,
                 bool stripCr, Each each) {
  if (!texts.empty()) {
    for (std::size_t i = 0; i < texts.size(); ++i) {
      if (!each(*texts[i], "argument", i + 1)) break;
    }
  } else {
    LineReader reader(io);
    std::string line;
    std::size_t number = 0;
    while (reader.Next(line)) {
      if (stripCr && !line.empty() && line.back() == '\r') line.pop_back();
      if (!each(line, "line", ++number)) break;
    }
    if (reader.failed()) {
      io.Error(std::string("jasokit ") + command + ": error reading standard input\n");
      return kExitIo;
    }
  }
  if (!io.Flush()) {
    io.Error(std::string("jasokit ") + command + ": error writing standard output\n");
    return kExitIo;
  }
  return kExitOk;
}

// Escapes backslash, tab, CR and LF for a TSV field.
void AppendTsvField(std::string_view field, std::string& out);

}  // namespace jasokit::cli

#pragma once
// The command line's one door to the operating system: the standard streams,
// a file read whole, a table file replaced safely, terminals and signals.
// platform-posix.cpp and platform-windows.cpp implement it; the commands
// see nothing else of the system, and tests put an in-memory CliIo in place
// of the streams.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace jasokit::cli {

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
  // Whether standard input is a folder (`< /some/dir`), which no read takes.
  virtual bool InputIsFolder() { return false; }
};

// The arguments after the program's name, in UTF-8 (on Windows taken from
// the wide command line, not the ANSI code page).
std::vector<std::string> CommandLineArgs(int argc, char** argv);

// The characters that end a folder's name in a path.
extern const char kPathSeparators[];

// The process's standard streams, output buffered in blocks and flushed when
// it ends; a closed pipe is a write error, never the end of the process.
std::unique_ptr<CliIo> StandardIo();

// Which file is which, to tell a file from itself under another name.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

// A file named on the command line, read from start to end. Only a regular
// file is opened, and opening never blocks (on a pipe, say).
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // False with error set ("cannot open X: reason", "cannot read X: ...").
  bool Open(const std::string& path, std::string& error);
  // Up to size bytes; 0 at the end, -1 on an error.
  long Read(char* buffer, std::size_t size);
  // Why the last read failed, "" when none did.
  std::string ReadError() const;
  const FileId& id() const { return m_id; }
  // When the file was last written.
  std::time_t modified() const { return m_modified; }

 private:
  int m_fd = -1;
  int m_errno = 0;
  FileId m_id;
  std::time_t m_modified = 0;
};

// The identity of the file path names (a link followed); none when it
// cannot be opened.
std::optional<FileId> IdentifyFile(const std::string& path);
// Whether path names nothing at all (not: cannot be reached).
bool IsMissing(const std::string& path);
// Whether path names a folder (a link followed).
bool IsFolder(const std::string& path);
// Makes the folders above path where missing; false with error set
// ("cannot make DIR: reason").
bool MakeParentFolders(const std::string& path, std::string& error);
// time in UTC; false when the system cannot tell.
bool UtcTime(std::time_t time, std::tm& out);

// The file a table is written to. It is made beside its target under a name
// of its own, written, synced and only then renamed over the target, so that
// neither a failure nor a concurrent build leaves a damaged table where the
// programs look, and no other file is ever touched; a signal that ends the
// program removes it. Only a regular file, or a new name, is a target: a
// device, a pipe or a folder is refused, and a symbolic link is followed to
// the regular file it names, which is replaced while the link stays.
enum class TableFileStatus {
  Ok,
  NotRegular,  // the target is a device, a pipe, a folder or a link to nothing usable
  IsInput,     // the target is the file being read
  Failed,      // creating, writing, syncing, checking or renaming it failed
};

// The system's part of replacing a table, one per platform (and an
// in-memory one in the tests); TableFile does the steps in order and words
// the errors. A call that fails leaves its reason in reason().
class TableFileSystem {
 public:
  virtual ~TableFileSystem() = default;
  // Checks target and creates the temporary file beside the file it names
  // (path: the target, or what its symbolic link names), as TableFile::Open
  // tells; anything but Ok comes with error set.
  virtual TableFileStatus Open(const std::string& target, const FileId* input, std::string& path,
                               std::string& error) = 0;
  // Appends to the temporary file.
  virtual bool Append(std::string_view bytes) = 0;
  // Writes header at the temporary file's start, syncs and closes it.
  virtual bool Finish(std::string_view header) = 0;
  // What path is when something other than a regular file is there now ("a
  // folder"); nullptr when it is one or nothing is there.
  virtual const char* IrregularKind(const std::string& path) = 0;
  // The temporary file, empty when there is none.
  virtual const std::string& temp() const = 0;
  // Renames the temporary file over path, durably.
  virtual bool Replace(const std::string& path) = 0;
  // Closes and removes the temporary file, if there is one.
  virtual void Discard() = 0;
  virtual std::string reason() const = 0;
};

// This system's.
std::unique_ptr<TableFileSystem> SystemTableFiles();

class TableFile {
 public:
  TableFile();
  explicit TableFile(std::unique_ptr<TableFileSystem> system);
  TableFile(const TableFile&) = delete;
  TableFile& operator=(const TableFile&) = delete;
  // Removes the temporary file unless the table was committed.
  ~TableFile();

  // Checks target and creates the temporary file beside it (and removes
  // those of the same target that an earlier writer, ended outright, left
  // behind: POSIX). input, when given, is the file being read, which must
  // not be the target. Anything but Ok comes with error set ("cannot
  // replace X: reason").
  TableFileStatus Open(const std::string& target, const FileId* input, std::string& error);
  // Buffered; false with error set once writing has failed.
  bool Write(std::string_view bytes, std::string& error);
  // Writes header at the start, syncs, and renames the file over the target.
  // check, when given, reads the file written (its path) before the rename:
  // a reason it returns leaves the target as it was. Anything but Ok comes
  // with error set.
  TableFileStatus Commit(std::string_view header, std::string& error,
                         const std::function<std::string(const std::string&)>& check = {});

 private:
  bool Flush(std::string& error);
  // Fails the table with error: its temporary file goes.
  TableFileStatus Fail(TableFileStatus status, std::string& error, std::string message);

  std::unique_ptr<TableFileSystem> m_system;
  std::string m_target;  // as the user named it
  std::string m_path;    // the file replaced: the target, or what its link names
  bool m_open = false;   // a temporary file is being written
  std::string m_buffer;
};

// The user's or the system's requests to end the program (SIGINT, SIGTERM),
// taken as ordinary events: from construction on they are held back from
// this thread and the threads it starts, so that no handler runs amid a
// server's work; destruction lets them through again. A write to a peer
// that has gone is an error there, never the end of the program. With
// hangups, SIGHUP is held back too, as a request to load files again.
class TerminationRequests {
 public:
  explicit TerminationRequests(bool hangups = false);
  ~TerminationRequests();
  TerminationRequests(const TerminationRequests&) = delete;
  TerminationRequests& operator=(const TerminationRequests&) = delete;

  // Runs serve; once a request to end comes, calls stop from another thread,
  // and serve must then return soon.
  void Serve(const std::function<void()>& serve, const std::function<void()>& stop);
  // The same, and meanwhile tick(true) on each SIGHUP, tick(false) about
  // once a second, on the thread that takes the signals.
  void Serve(const std::function<void()>& serve, const std::function<void()>& stop,
             const std::function<void(bool)>& tick);

 private:
  struct Held;
  std::unique_ptr<Held> m_held;
};

}  // namespace jasokit::cli

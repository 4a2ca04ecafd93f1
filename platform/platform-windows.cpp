// The platform interface on Windows: wide APIs for every path, the standard
// streams as raw handles (binary: LF stays LF, ^Z is data), UTF-16 to a
// console so that Korean shows, bytes to a pipe or a file.
#include <errno.h>
#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/platform.h"
#include "platform/program_folder.h"
#include "utf16.h"
// After windows.h (platform/utf16.h).
#include <shellapi.h>

namespace jasokit::cli {

namespace {

using platform::Narrow;
using platform::Widen;

// The texts of the POSIX build, so that both say the same.
std::string Reason(int error) { return std::strerror(error); }

int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    default: return EIO;
  }
}

std::string LastReason() { return Reason(ErrnoOf(::GetLastError())); }

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && ::GetConsoleMode(handle, &mode) != 0;
}

// How many bytes at the end of text start a UTF-8 sequence that is not
// complete yet; they wait for the next write.
std::size_t IncompleteTail(std::string_view text) {
  const std::size_t look = text.size() < 3 ? text.size() : 3;
  for (std::size_t back = 1; back <= look; ++back) {
    const auto byte = static_cast<unsigned char>(text[text.size() - back]);
    if ((byte & 0xC0) == 0x80) continue;  // a continuation byte
    const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return length > back ? back : 0;
  }
  return 0;
}

// One output stream: bytes to a file or a pipe, UTF-16 to a console.
class OutStream {
 public:
  explicit OutStream(DWORD which) : m_handle(::GetStdHandle(which)), m_console(IsConsole(m_handle)) {}

  bool Write(std::string_view bytes) {
    if (!m_console) return WriteBytes(bytes);
    m_pending.append(bytes.data(), bytes.size());
    const std::size_t ready = m_pending.size() - IncompleteTail(m_pending);
    const std::wstring wide = Widen(std::string_view(m_pending).substr(0, ready));
    m_pending.erase(0, ready);
    return PutConsole(wide);
  }

  bool console() const { return m_console; }

 private:
  bool WriteBytes(std::string_view bytes) {
    while (!bytes.empty()) {
      const DWORD chunk = bytes.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(bytes.size());
      DWORD written = 0;
      if (!::WriteFile(m_handle, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
      bytes.remove_prefix(written);
    }
    return true;
  }

  bool PutConsole(std::wstring_view wide) {
    while (!wide.empty()) {
      const DWORD chunk = wide.size() > 8192 ? 8192 : static_cast<DWORD>(wide.size());
      DWORD written = 0;
      if (!::WriteConsoleW(m_handle, wide.data(), chunk, &written, nullptr) || written == 0) return false;
      wide.remove_prefix(written);
    }
    return true;
  }

  HANDLE m_handle;
  bool m_console;
  std::string m_pending;
};

// Standard input: raw bytes from a file or a pipe; from a console the wide
// characters typed, as UTF-8 with LF line ends, and a line of ^Z ends it as
// Windows users expect.
class InStream {
 public:
  InStream() : m_handle(::GetStdHandle(STD_INPUT_HANDLE)), m_console(IsConsole(m_handle)) {}

  long Read(char* buffer, std::size_t size) {
    if (!m_console) return ReadBytes(buffer, size);
    while (m_text.empty() && !m_ended) FillFromConsole();
    const std::size_t n = m_text.size() < size ? m_text.size() : size;
    m_text.copy(buffer, n);
    m_text.erase(0, n);
    return static_cast<long>(n);
  }

  bool Ready() {
    if (m_console) return !m_text.empty() || m_ended;
    switch (::GetFileType(m_handle)) {
      case FILE_TYPE_PIPE: {
        DWORD available = 0;
        // A pipe that cannot be peeked at is at its end or broken: the read
        // says which, at once.
        if (!::PeekNamedPipe(m_handle, nullptr, 0, nullptr, &available, nullptr)) return true;
        return available > 0;
      }
      case FILE_TYPE_CHAR: return false;
      default: return true;
    }
  }

  HANDLE handle() const { return m_handle; }

 private:
  long ReadBytes(char* buffer, std::size_t size) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD got = 0;
    if (::ReadFile(m_handle, buffer, chunk, &got, nullptr)) return static_cast<long>(got);
    const DWORD error = ::GetLastError();
    // The writer closed the pipe: the end of the input.
    if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
    return -1;
  }

  void FillFromConsole() {
    wchar_t wide[4096];
    DWORD got = 0;
    if (!::ReadConsoleW(m_handle, wide, 4096, &got, nullptr) || got == 0) {
      m_ended = true;
      return;
    }
    std::wstring_view typed(wide, got);
    if (typed.substr(0, 1) == L"\x1A") {
      m_ended = true;
      return;
    }
    std::string text = Narrow(typed);
    for (std::size_t cr = text.find("\r\n"); cr != std::string::npos; cr = text.find("\r\n", cr)) text.erase(cr, 1);
    m_text += text;
  }

  HANDLE m_handle;
  bool m_console;
  bool m_ended = false;
  std::string m_text;
};

// Standard streams through the system's handles, output buffered in blocks.
class WindowsIo : public CliIo {
 public:
  WindowsIo() : m_out(STD_OUTPUT_HANDLE), m_err(STD_ERROR_HANDLE) {
    // Nothing should go through the C runtime's text mode, but if anything
    // does, it stays binary too.
    _setmode(0, _O_BINARY);
    _setmode(1, _O_BINARY);
    _setmode(2, _O_BINARY);
    m_buffer.reserve(kBufferSize);
  }
  ~WindowsIo() override { Flush(); }

  long Read(char* buffer, std::size_t size) override { return m_in.Read(buffer, size); }

  bool Write(std::string_view bytes) override {
    if (m_failed) return false;
    if (bytes.size() >= kBufferSize) return Flush() && Put(bytes);
    m_buffer.append(bytes.data(), bytes.size());
    if (m_buffer.size() >= kBufferSize) return Flush();
    return true;
  }

  bool Flush() override {
    if (m_failed) return false;
    const bool ok = Put(m_buffer);
    m_buffer.clear();
    return ok;
  }

  void Error(std::string_view bytes) override { m_err.Write(bytes); }
  std::string ExecutableDir() override { return platform::ExecutableDirectory(); }
  bool InputReady() override { return m_in.Ready(); }

  std::optional<std::uint64_t> InputFileSize() override {
    LARGE_INTEGER size{};
    if (::GetFileType(m_in.handle()) != FILE_TYPE_DISK || !::GetFileSizeEx(m_in.handle(), &size)) return std::nullopt;
    return static_cast<std::uint64_t>(size.QuadPart);
  }

  bool ErrorIsTerminal() override { return m_err.console(); }

 private:
  bool Put(std::string_view bytes) {
    if (!m_out.Write(bytes)) m_failed = true;
    return !m_failed;
  }

  static constexpr std::size_t kBufferSize = 1 << 16;
  InStream m_in;
  OutStream m_out;
  OutStream m_err;
  std::string m_buffer;
  bool m_failed = false;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const unsigned chunk = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
    const int n = ::_write(fd, data, chunk);
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// The temporary file of the table being written, removed if Ctrl+C, Ctrl+Break
// or closing the console ends the program before the table is complete. The
// file is open with FILE_SHARE_DELETE, so the removal takes effect when the
// process ends.
wchar_t g_pendingTemp[32768];
std::atomic<bool> g_pending{false};

BOOL WINAPI RemovePendingTemp(DWORD) {
  if (g_pending.load()) ::DeleteFileW(g_pendingTemp);
  return FALSE;  // and on to the default: the process ends
}

void GuardTemp(const std::wstring& temp) {
  if (temp.size() >= std::size(g_pendingTemp)) return;
  std::memcpy(g_pendingTemp, temp.c_str(), (temp.size() + 1) * sizeof(wchar_t));
  g_pending.store(true);
  ::SetConsoleCtrlHandler(RemovePendingTemp, TRUE);
}

void UnguardTemp() {
  if (!g_pending.exchange(false)) return;
  ::SetConsoleCtrlHandler(RemovePendingTemp, FALSE);
}

struct HandleCloser {
  HANDLE handle;
  ~HandleCloser() {
    if (handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  }
};

// A handle for asking about the file path names, a link followed.
HANDLE OpenForInfo(const std::wstring& path) {
  return ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

FileId IdOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

std::time_t TimeOf(const FILETIME& time) {
  const std::uint64_t ticks = (std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
  constexpr std::uint64_t kUnixEpoch = 116444736000000000ULL;  // 1970-01-01 in 100 ns since 1601
  return ticks < kUnixEpoch ? 0 : static_cast<std::time_t>((ticks - kUnixEpoch) / 10000000ULL);
}

bool IsMissingError(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

std::string NotRegular(const std::string& target, const char* kind) {
  return target + " is " + kind + ", not a regular file; nothing was replaced";
}

// What the file at path is when it is no regular file; nullptr when it is
// one (or cannot be asked, which the next step reports).
const char* IrregularKind(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return "a folder";
  HandleCloser file{OpenForInfo(path)};
  if (file.handle == INVALID_HANDLE_VALUE) return nullptr;
  switch (::GetFileType(file.handle)) {
    case FILE_TYPE_DISK: return nullptr;
    case FILE_TYPE_CHAR: return "a device";
    case FILE_TYPE_PIPE: return "a pipe";
    default: return "not a regular file";
  }
}

std::string Folder(const std::string& path) {
  const std::size_t slash = path.find_last_of(kPathSeparators);
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::vector<std::string> CommandLineArgs(int, char**) {
  // The wide command line: argv holds the ANSI code page's version, which
  // loses every letter outside it.
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i) args.push_back(Narrow(wide[i]));
  if (wide) ::LocalFree(wide);
  return args;
}

const char kPathSeparators[] = "\\/:";

std::unique_ptr<CliIo> StandardIo() { return std::make_unique<WindowsIo>(); }

std::optional<FileId> IdentifyFile(const std::string& path) {
  HandleCloser file{OpenForInfo(Widen(path))};
  BY_HANDLE_FILE_INFORMATION info{};
  if (file.handle == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(file.handle, &info)) return std::nullopt;
  return IdOf(info);
}

bool IsMissing(const std::string& path) {
  return ::GetFileAttributesW(Widen(path).c_str()) == INVALID_FILE_ATTRIBUTES && IsMissingError(::GetLastError());
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Widen(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MakeParentFolders(const std::string& path, std::string& error) {
  // Past the root (C:\, \\server\share\), which is never made.
  const std::size_t root = Narrow(std::filesystem::path(Widen(path)).root_path().native()).size();
  for (std::size_t slash = path.find_first_of("\\/", root); slash != std::string::npos;
       slash = path.find_first_of("\\/", slash + 1)) {
    const std::string dir = path.substr(0, slash);
    if (dir.size() <= root) continue;
    if (!::CreateDirectoryW(Widen(dir).c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
      error = "cannot make " + dir + ": " + LastReason();
      return false;
    }
  }
  return true;
}

bool UtcTime(std::time_t time, std::tm& out) { return ::gmtime_s(&out, &time) == 0; }

InputFile::~InputFile() {
  if (m_fd >= 0) ::_close(m_fd);
}

bool InputFile::Open(const std::string& path, std::string& error) {
  const std::wstring wide = Widen(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    error = "cannot read " + path + ": it is a directory";
    return false;
  }
  HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = "cannot open " + path + ": " + LastReason();
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &info)) {
    ::CloseHandle(file);
    error = "cannot read " + path + ": not a regular file (give '-' to read standard input)";
    return false;
  }
  m_id = IdOf(info);
  m_modified = TimeOf(info.ftLastWriteTime);
  m_fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDONLY | _O_BINARY);
  if (m_fd < 0) {
    ::CloseHandle(file);
    error = "cannot read " + path + ": " + Reason(errno);
    return false;
  }
  return true;
}

long InputFile::Read(char* buffer, std::size_t size) {
  const unsigned chunk = size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size);
  const int got = ::_read(m_fd, buffer, chunk);
  if (got < 0) m_errno = errno;
  return got;
}

std::string InputFile::ReadError() const { return m_errno != 0 ? Reason(m_errno) : std::string(); }

namespace {

class WindowsTableFiles final : public TableFileSystem {
 public:
  ~WindowsTableFiles() override { Discard(); }

  TableFileStatus Open(const std::string& target, const FileId* input, std::string& path, std::string& error) override;
  bool Append(std::string_view bytes) override {
    if (WriteAll(m_fd, bytes.data(), bytes.size())) return true;
    m_errno = errno;
    return false;
  }
  bool Finish(std::string_view header) override;
  const char* IrregularKind(const std::string& path) override { return jasokit::cli::IrregularKind(Widen(path)); }
  const std::string& temp() const override { return m_temp; }
  bool Replace(const std::string& path) override;
  void Discard() override;
  std::string reason() const override { return Reason(m_errno); }

 private:
  TableFileStatus CheckTarget(const std::string& target, const FileId* input, std::string& path, std::string& error);
  TableFileStatus CreateTemp(const std::string& target, bool replacing, const std::string& path, std::string& error);

  std::string m_temp;  // empty once renamed or removed
  int m_fd = -1;
  int m_errno = 0;
};

void WindowsTableFiles::Discard() {
  if (m_fd >= 0) ::_close(m_fd);
  m_fd = -1;
  if (!m_temp.empty()) ::DeleteFileW(Widen(m_temp).c_str());
  m_temp.clear();
  UnguardTemp();
}

// Checks the file target names, following a symbolic link to the file it
// names (path); anything but Ok comes with error set.
TableFileStatus WindowsTableFiles::CheckTarget(const std::string& target, const FileId* input, std::string& path,
                                               std::string& error) {
  const std::wstring wide = Widen(target);
  HandleCloser file{OpenForInfo(wide)};
  if (file.handle == INVALID_HANDLE_VALUE) {
    error = target + " is a symbolic link to nothing usable (" + LastReason() + "); nothing was replaced";
    return TableFileStatus::NotRegular;
  }
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    // Replacing the link itself would cut whatever it ties together; write
    // the file it names instead.
    std::wstring final(32768, L'\0');
    const DWORD n = ::GetFinalPathNameByHandleW(file.handle, final.data(), static_cast<DWORD>(final.size()), 0);
    if (n == 0 || n >= final.size()) {
      error = target + " is a symbolic link to nothing usable (" + LastReason() + "); nothing was replaced";
      return TableFileStatus::NotRegular;
    }
    final.resize(n);
    path = Narrow(final);
  }
  if (const char* kind = jasokit::cli::IrregularKind(Widen(path))) {
    error = NotRegular(target, kind);
    return TableFileStatus::NotRegular;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file.handle, &info)) {
    error = "cannot write " + target + ": " + LastReason();
    return TableFileStatus::Failed;
  }
  const FileId id = IdOf(info);
  if (input && input->device == id.device && input->inode == id.inode) {
    error = target + " is the CSV itself; write the table to another file";
    return TableFileStatus::IsInput;
  }
  if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
    error = "cannot replace " + target + ": " + Reason(EACCES);
    return TableFileStatus::Failed;
  }
  return TableFileStatus::Ok;
}

// Creates the temporary file beside path; anything but Ok comes with error
// set. It takes the folder's permissions, as any new file there would.
TableFileStatus WindowsTableFiles::CreateTemp(const std::string& target, bool replacing, const std::string& path,
                                              std::string& error) {
  const std::string folder = Folder(path);
  const std::string name = path.substr(folder.size());
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    const unsigned salt =
        ::GetCurrentProcessId() * 2654435761u + static_cast<unsigned>(::GetTickCount64()) + counter.fetch_add(7919);
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "%06x", salt & 0xFFFFFFu);
    const std::string temp = folder + "." + name + "." + suffix;
    const std::wstring wide = Widen(temp);
    HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      const DWORD why = ::GetLastError();
      if (why == ERROR_FILE_EXISTS || why == ERROR_ALREADY_EXISTS) continue;
      error = (replacing ? "cannot replace " : "cannot create ") + target + ": " + Reason(ErrnoOf(why));
      return TableFileStatus::Failed;
    }
    m_fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(file), _O_RDWR | _O_BINARY);
    if (m_fd < 0) {
      ::CloseHandle(file);
      ::DeleteFileW(wide.c_str());
      break;
    }
    m_temp = temp;
    GuardTemp(wide);
    return TableFileStatus::Ok;
  }
  error = (replacing ? "cannot replace " : "cannot create ") + target + ": " + Reason(EEXIST);
  return TableFileStatus::Failed;
}

TableFileStatus WindowsTableFiles::Open(const std::string& target, const FileId* input, std::string& path,
                                        std::string& error) {
  const bool replacing = ::GetFileAttributesW(Widen(target).c_str()) != INVALID_FILE_ATTRIBUTES;
  if (!replacing && !IsMissingError(::GetLastError())) {
    error = "cannot write " + target + ": " + LastReason();
    return TableFileStatus::Failed;
  }
  if (replacing) {
    if (const TableFileStatus status = CheckTarget(target, input, path, error); status != TableFileStatus::Ok) {
      return status;
    }
  }
  return CreateTemp(target, replacing, path, error);
}

bool WindowsTableFiles::Finish(std::string_view header) {
  const bool written = ::_lseeki64(m_fd, 0, SEEK_SET) == 0 && WriteAll(m_fd, header.data(), header.size());
  if (!written || !::FlushFileBuffers(reinterpret_cast<HANDLE>(::_get_osfhandle(m_fd)))) {
    m_errno = written ? ErrnoOf(::GetLastError()) : errno;
    return false;
  }
  const int fd = m_fd;
  m_fd = -1;
  if (::_close(fd) != 0) {
    m_errno = errno;
    return false;
  }
  return true;
}

bool WindowsTableFiles::Replace(const std::string& path) {
  // rename() cannot replace a file on Windows; this can, and reaches the
  // disk before it returns.
  if (!::MoveFileExW(Widen(m_temp).c_str(), Widen(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    m_errno = ErrnoOf(::GetLastError());
    return false;
  }
  m_temp.clear();
  UnguardTemp();
  return true;
}

}  // namespace

std::unique_ptr<TableFileSystem> SystemTableFiles() { return std::make_unique<WindowsTableFiles>(); }

}  // namespace jasokit::cli

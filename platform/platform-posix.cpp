// The platform interface on POSIX systems.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <thread>

#include "platform/platform.h"
#include "platform/program_folder.h"

namespace jasokit::cli {

namespace {

std::string Reason(int error) { return std::strerror(error); }

// Standard streams through the file descriptors, output buffered in blocks.
class PosixIo : public CliIo {
 public:
  PosixIo();
  ~PosixIo() override;
  long Read(char* buffer, std::size_t size) override;
  bool Write(std::string_view bytes) override;
  bool Flush() override;
  void Error(std::string_view bytes) override;
  std::string ExecutableDir() override;
  bool InputReady() override;
  std::optional<std::uint64_t> InputFileSize() override;
  bool ErrorIsTerminal() override;
  bool InputIsFolder() override;

 private:
  bool WriteAll(std::string_view bytes);
  static constexpr std::size_t kBufferSize = 1 << 16;
  std::string m_out;
  bool m_failed = false;
};

PosixIo::PosixIo() {
  // A closed pipe must surface as a write error, not kill the process.
  signal(SIGPIPE, SIG_IGN);
  m_out.reserve(kBufferSize);
}

PosixIo::~PosixIo() { Flush(); }

long PosixIo::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(0, buffer, size);
    if (got < 0 && errno == EINTR) continue;
    return static_cast<long>(got);
  }
}

bool PosixIo::Write(std::string_view bytes) {
  if (m_failed) return false;
  // A batch's chunk goes out as it is, not copied through the buffer.
  if (bytes.size() >= kBufferSize) return Flush() && WriteAll(bytes);
  m_out.append(bytes.data(), bytes.size());
  if (m_out.size() >= kBufferSize) return Flush();
  return true;
}

bool PosixIo::WriteAll(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(1, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      m_failed = true;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool PosixIo::Flush() {
  if (m_failed) return false;
  const bool ok = WriteAll(m_out);
  m_out.clear();
  return ok;
}

void PosixIo::Error(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(2, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

bool PosixIo::InputReady() {
  struct pollfd p {};
  p.fd = 0;
  p.events = POLLIN;
  for (;;) {
    const int n = ::poll(&p, 1, 0);
    if (n < 0 && errno == EINTR) continue;
    // An error is for the read to report; never wait on it here.
    return n != 0;
  }
}

std::optional<std::uint64_t> PosixIo::InputFileSize() {
  struct stat st {};
  if (::fstat(0, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

bool PosixIo::ErrorIsTerminal() { return ::isatty(2) == 1; }

bool PosixIo::InputIsFolder() {
  struct stat st {};
  return ::fstat(0, &st) == 0 && S_ISDIR(st.st_mode);
}

std::string PosixIo::ExecutableDir() { return platform::ExecutableDirectory(); }

bool WriteAll(int fd, const char* data, std::size_t size, off_t at, bool positioned) {
  while (size > 0) {
    const ssize_t n = positioned ? ::pwrite(fd, data, size, at) : ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
    at += n;
  }
  return true;
}

// The temporary file of the table being written, removed if a signal ends
// the program before the table is complete.
char g_pendingTemp[4096];
constexpr int kEndingSignals[] = {SIGHUP, SIGINT, SIGTERM};
struct sigaction g_previous[std::size(kEndingSignals)];

extern "C" void RemovePendingTemp(int number) {
  if (g_pendingTemp[0] != '\0') ::unlink(g_pendingTemp);
  ::signal(number, SIG_DFL);
  ::raise(number);
}

void GuardTemp(const std::string& temp) {
  if (temp.size() >= sizeof g_pendingTemp) return;
  std::memcpy(g_pendingTemp, temp.c_str(), temp.size() + 1);
  struct sigaction action {};
  action.sa_handler = RemovePendingTemp;
  sigemptyset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) {
    ::sigaction(kEndingSignals[i], nullptr, &g_previous[i]);
    // A signal ignored on purpose (nohup) stays ignored.
    if (g_previous[i].sa_handler != SIG_IGN) ::sigaction(kEndingSignals[i], &action, nullptr);
  }
}

void UnguardTemp() {
  if (g_pendingTemp[0] == '\0') return;
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) ::sigaction(kEndingSignals[i], &g_previous[i], nullptr);
  g_pendingTemp[0] = '\0';
}

// The temporary files of a table named name in folder that no writer
// holds locked: left by one ended outright (SIGKILL, a crash, a power cut).
// Only regular files of this user, named as CreateTemp names them, and
// untouched for a minute.
constexpr std::time_t kStaleSeconds = 60;
void RemoveStaleTemps(const std::string& folder, const std::string& name) {
  DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return;
  const std::string prefix = "." + name + ".";
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view file = entry->d_name;
    if (file.size() != prefix.size() + 6 || file.substr(0, prefix.size()) != prefix) continue;
    const std::string path = folder + std::string(file);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st {};
    // A file a writer made a moment ago may not hold its lock yet.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        st.st_mtime + kStaleSeconds < std::time(nullptr) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      ::unlink(path.c_str());
    }
    ::close(fd);
  }
  ::closedir(dir);
}

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISFIFO(mode)) return "a pipe";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

std::string NotRegular(const std::string& target, mode_t mode) {
  return target + " is " + KindOf(mode) + ", not a regular file; nothing was replaced";
}

}  // namespace

std::vector<std::string> CommandLineArgs(int argc, char** argv) { return {argv + 1, argv + argc}; }

const char kPathSeparators[] = "/";

std::unique_ptr<CliIo> StandardIo() { return std::make_unique<PosixIo>(); }

std::optional<FileId> IdentifyFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool IsMissing(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) != 0 && errno == ENOENT;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool MakeParentFolders(const std::string& path, std::string& error) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    const std::string dir = path.substr(0, slash);
    if (::mkdir(dir.c_str(), 0755) != 0 && errno != EEXIST) {
      error = "cannot make " + dir + ": " + Reason(errno);
      return false;
    }
  }
  return true;
}

bool UtcTime(std::time_t time, std::tm& out) { return ::gmtime_r(&time, &out) != nullptr; }

InputFile::~InputFile() {
  if (m_fd >= 0) ::close(m_fd);
}

bool InputFile::Open(const std::string& path, std::string& error) {
  // Not blocking on a pipe or a device while its kind is found out.
  m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (m_fd < 0) {
    error = "cannot open " + path + ": " + Reason(errno);
    return false;
  }
  struct stat st {};
  if (::fstat(m_fd, &st) != 0) {
    error = "cannot read " + path + ": " + Reason(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    error = "cannot read " + path + ": it is a directory";
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error = "cannot read " + path + ": not a regular file (give '-' to read standard input)";
    return false;
  }
  m_id = {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
  m_modified = st.st_mtime;
  const int flags = ::fcntl(m_fd, F_GETFL);
  if (flags >= 0) ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK);
  return true;
}

long InputFile::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(m_fd, buffer, size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) m_errno = errno;
    return static_cast<long>(got);
  }
}

std::string InputFile::ReadError() const { return m_errno != 0 ? Reason(m_errno) : std::string(); }

namespace {

class PosixTableFiles final : public TableFileSystem {
 public:
  ~PosixTableFiles() override { Discard(); }

  TableFileStatus Open(const std::string& target, const FileId* input, std::string& path, std::string& error) override;
  bool Append(std::string_view bytes) override { return Done(WriteAll(m_fd, bytes.data(), bytes.size(), 0, false)); }
  bool Finish(std::string_view header) override;
  const char* IrregularKind(const std::string& path) override {
    struct stat now {};
    return ::lstat(path.c_str(), &now) == 0 && !S_ISREG(now.st_mode) ? KindOf(now.st_mode) : nullptr;
  }
  const std::string& temp() const override { return m_temp; }
  bool Replace(const std::string& path) override;
  void Discard() override;
  std::string reason() const override { return Reason(m_errno); }

 private:
  TableFileStatus CheckTarget(const std::string& target, const FileId* input, struct stat& old, std::string& path,
                              std::string& error);
  TableFileStatus CreateTemp(const std::string& target, const struct stat* old, const std::string& path,
                             std::string& error);
  bool Done(bool ok) {
    if (!ok) m_errno = errno;
    return ok;
  }

  std::string m_temp;  // empty once renamed or removed
  int m_fd = -1;
  int m_lockFd = -1;  // holds the temporary file's lock until it is renamed or removed
  int m_errno = 0;
};

void PosixTableFiles::Discard() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  if (!m_temp.empty()) ::unlink(m_temp.c_str());
  m_temp.clear();
  UnguardTemp();
  if (m_lockFd >= 0) ::close(m_lockFd);
  m_lockFd = -1;
}

// Checks the file target names (old), following a symbolic link to the file
// it names (path); anything but Ok comes with error set.
TableFileStatus PosixTableFiles::CheckTarget(const std::string& target, const FileId* input, struct stat& old,
                                             std::string& path, std::string& error) {
  if (S_ISLNK(old.st_mode)) {
    // Replacing the link itself would cut whatever it ties together; write
    // the file it names instead.
    char* resolved = ::realpath(target.c_str(), nullptr);
    if (resolved == nullptr) {
      error = target + " is a symbolic link to nothing usable (" + Reason(errno) + "); nothing was replaced";
      return TableFileStatus::NotRegular;
    }
    path = resolved;
    std::free(resolved);
    if (::stat(path.c_str(), &old) != 0) {
      error = "cannot write " + target + ": " + Reason(errno);
      return TableFileStatus::Failed;
    }
  }
  if (!S_ISREG(old.st_mode)) {
    error = NotRegular(target, old.st_mode);
    return TableFileStatus::NotRegular;
  }
  if (input && input->device == static_cast<std::uint64_t>(old.st_dev) &&
      input->inode == static_cast<std::uint64_t>(old.st_ino)) {
    error = target + " is the CSV itself; write the table to another file";
    return TableFileStatus::IsInput;
  }
  // The folder may let us replace a file we could not write.
  if (::access(path.c_str(), W_OK) != 0) {
    error = "cannot replace " + target + ": " + Reason(errno);
    return TableFileStatus::Failed;
  }
  return TableFileStatus::Ok;
}

// Creates the temporary file beside path, with the mode (and the owner
// where it may) of the file replaced, old; anything but Ok comes with error set.
TableFileStatus PosixTableFiles::CreateTemp(const std::string& target, const struct stat* old, const std::string& path,
                                            std::string& error) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  RemoveStaleTemps(folder, name);
  std::string temp = folder + "." + name + ".XXXXXX";
  // No ending signal between the file's creation and its guard.
  sigset_t ending, previous;
  sigemptyset(&ending);
  for (const int signal : kEndingSignals) sigaddset(&ending, signal);
  pthread_sigmask(SIG_BLOCK, &ending, &previous);
  m_fd = ::mkstemp(&temp[0]);
  const int created = errno;
  if (m_fd >= 0) {
    m_temp = temp;
    GuardTemp(m_temp);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (m_fd < 0) {
    error = (old ? "cannot replace " : "cannot create ") + target + ": " + Reason(created);
    return TableFileStatus::Failed;
  }
  ::fcntl(m_fd, F_SETFD, FD_CLOEXEC);
  // Held until the file is renamed or removed: a later writer that finds
  // the file unlocked knows it stale.
  if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) m_lockFd = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
  mode_t mode;
  if (old) {
    // The owner where we may (as root), else the group where we are in it;
    // the mode always.
    if (::fchown(m_fd, old->st_uid, old->st_gid) != 0) {
      [[maybe_unused]] const int ignored = ::fchown(m_fd, static_cast<uid_t>(-1), old->st_gid);
    }
    mode = old->st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  if (::fchmod(m_fd, mode) != 0) {
    error = "cannot set the mode of " + target + ": " + Reason(errno);
    Discard();
    return TableFileStatus::Failed;
  }
  return TableFileStatus::Ok;
}

TableFileStatus PosixTableFiles::Open(const std::string& target, const FileId* input, std::string& path,
                                      std::string& error) {
  struct stat old {};
  const bool replacing = ::lstat(target.c_str(), &old) == 0;
  if (!replacing && errno != ENOENT) {
    error = "cannot write " + target + ": " + Reason(errno);
    return TableFileStatus::Failed;
  }
  if (replacing) {
    if (const TableFileStatus status = CheckTarget(target, input, old, path, error); status != TableFileStatus::Ok) {
      return status;
    }
  }
  return CreateTemp(target, replacing ? &old : nullptr, path, error);
}

bool PosixTableFiles::Finish(std::string_view header) {
  if (!Done(WriteAll(m_fd, header.data(), header.size(), 0, true) && ::fsync(m_fd) == 0)) return false;
  const int fd = m_fd;
  m_fd = -1;
  return Done(::close(fd) == 0);
}

bool PosixTableFiles::Replace(const std::string& path) {
  if (!Done(::rename(m_temp.c_str(), path.c_str()) == 0)) return false;
  m_temp.clear();
  UnguardTemp();
  if (m_lockFd >= 0) ::close(m_lockFd);
  m_lockFd = -1;
  // The rename itself reaches the disk with its folder.
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

}  // namespace

std::unique_ptr<TableFileSystem> SystemTableFiles() { return std::make_unique<PosixTableFiles>(); }

struct TerminationRequests::Held {
  sigset_t signals;
  sigset_t previous;
};

TerminationRequests::TerminationRequests(bool hangups) : m_held(std::make_unique<Held>()) {
  signal(SIGPIPE, SIG_IGN);
  sigemptyset(&m_held->signals);
  sigaddset(&m_held->signals, SIGINT);
  sigaddset(&m_held->signals, SIGTERM);
  if (hangups) sigaddset(&m_held->signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &m_held->signals, &m_held->previous);
}

TerminationRequests::~TerminationRequests() { pthread_sigmask(SIG_SETMASK, &m_held->previous, nullptr); }

void TerminationRequests::Serve(const std::function<void()>& serve, const std::function<void()>& stop) {
  Serve(serve, stop, nullptr);
}

void TerminationRequests::Serve(const std::function<void()>& serve, const std::function<void()>& stop,
                                const std::function<void(bool)>& tick) {
  // One thread takes the signals, so that stop and tick run as ordinary code.
  std::thread watcher([&] {
    const timespec second{1, 0};
    for (;;) {
      const int number =
          tick ? sigtimedwait(&m_held->signals, nullptr, &second) : sigwaitinfo(&m_held->signals, nullptr);
      if (number == SIGHUP || (number < 0 && errno == EAGAIN)) {
        if (tick) tick(number == SIGHUP);
      } else if (number >= 0) {
        break;
      }
    }
    stop();
  });
  serve();
  // Ended otherwise: the watcher is woken as a signal would.
  pthread_kill(watcher.native_handle(), SIGTERM);
  watcher.join();
}

}  // namespace jasokit::cli

#include "cli/table_file.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iterator>

#include "cli/cli.h"

namespace jasokit::cli {

namespace {

constexpr std::size_t kFlushBytes = 1 << 16;

std::string Reason(int error) { return std::strerror(error); }

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

TableFile::~TableFile() { Discard(); }

void TableFile::Discard() {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  if (!m_temp.empty()) ::unlink(m_temp.c_str());
  m_temp.clear();
  UnguardTemp();
}

std::string TableFile::WriteError() const { return "error writing " + m_target + ": " + Reason(errno); }

// Checks the file target names (old), following a symbolic link to the file
// it names (m_path); 0 or an exit status with error set.
int TableFile::CheckTarget(const std::string& target, const struct stat* input, struct stat& old,
                           std::string& error) {
  if (S_ISLNK(old.st_mode)) {
    // Replacing the link itself would cut whatever it ties together; write
    // the file it names instead.
    char* resolved = ::realpath(target.c_str(), nullptr);
    if (resolved == nullptr) {
      error = target + " is a symbolic link to nothing usable (" + Reason(errno) + "); nothing was replaced";
      return kExitIo;
    }
    m_path = resolved;
    std::free(resolved);
    if (::stat(m_path.c_str(), &old) != 0) {
      error = "cannot write " + target + ": " + Reason(errno);
      return kExitDataError;
    }
  }
  if (!S_ISREG(old.st_mode)) {
    error = NotRegular(target, old.st_mode);
    return kExitIo;
  }
  if (input && input->st_dev == old.st_dev && input->st_ino == old.st_ino) {
    error = target + " is the CSV itself; write the table to another file";
    return kExitUsage;
  }
  // The folder may let us replace a file we could not write.
  if (::access(m_path.c_str(), W_OK) != 0) {
    error = "cannot replace " + target + ": " + Reason(errno);
    return kExitDataError;
  }
  return kExitOk;
}

// Creates the temporary file beside m_path, with the mode (and the owner
// where it may) of the file replaced, old; 0 or an exit status with error set.
int TableFile::CreateTemp(const std::string& target, const struct stat* old, std::string& error) {
  const std::size_t slash = m_path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : m_path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? m_path : m_path.substr(slash + 1);
  std::string temp = folder + "." + name + ".XXXXXX";
  m_fd = ::mkstemp(&temp[0]);
  if (m_fd < 0) {
    error = (old ? "cannot replace " : "cannot create ") + target + ": " + Reason(errno);
    return kExitDataError;
  }
  m_temp = temp;
  GuardTemp(m_temp);
  ::fcntl(m_fd, F_SETFD, FD_CLOEXEC);
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
    return kExitDataError;
  }
  return kExitOk;
}

int TableFile::Open(const std::string& target, const struct stat* input, std::string& error) {
  m_target = target;
  m_path = target;
  struct stat old {};
  const bool replacing = ::lstat(target.c_str(), &old) == 0;
  if (!replacing && errno != ENOENT) {
    error = "cannot write " + target + ": " + Reason(errno);
    return kExitDataError;
  }
  if (replacing) {
    if (const int status = CheckTarget(target, input, old, error)) return status;
  }
  return CreateTemp(target, replacing ? &old : nullptr, error);
}

bool TableFile::Flush(std::string& error) {
  if (!WriteAll(m_fd, m_buffer.data(), m_buffer.size(), 0, false)) {
    error = WriteError();
    Discard();
    return false;
  }
  m_buffer.clear();
  return true;
}

bool TableFile::Write(std::string_view bytes, std::string& error) {
  if (m_fd < 0) {
    error = "error writing " + m_target;
    return false;
  }
  m_buffer.append(bytes);
  return m_buffer.size() < kFlushBytes || Flush(error);
}

int TableFile::Commit(std::string_view header, std::string& error) {
  if (m_fd < 0) {
    error = "error writing " + m_target;
    return kExitDataError;
  }
  if (!Flush(error)) return kExitDataError;
  if (!WriteAll(m_fd, header.data(), header.size(), 0, true) || ::fsync(m_fd) != 0) {
    error = WriteError();
    Discard();
    return kExitDataError;
  }
  const int fd = m_fd;
  m_fd = -1;
  if (::close(fd) != 0) {
    error = WriteError();
    Discard();
    return kExitDataError;
  }
  // Whatever took the target's place since it was checked is no table to
  // replace either.
  struct stat now {};
  if (::lstat(m_path.c_str(), &now) == 0 && !S_ISREG(now.st_mode)) {
    error = NotRegular(m_target, now.st_mode);
    Discard();
    return kExitIo;
  }
  if (::rename(m_temp.c_str(), m_path.c_str()) != 0) {
    error = "cannot replace " + m_target + ": " + Reason(errno);
    Discard();
    return kExitDataError;
  }
  m_temp.clear();
  UnguardTemp();
  // The rename itself reaches the disk with its folder.
  const std::size_t slash = m_path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : m_path.substr(0, slash + 1);
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return kExitOk;
}

}  // namespace jasokit::cli

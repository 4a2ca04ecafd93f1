#include "cli/io-posix.h"

#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/program_folder.h"

namespace jasokit::cli {

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

// One own-path lookup for the whole program, shared with the table loader.
std::string PosixIo::ExecutableDir() { return platform::ExecutableDirectory(); }

}  // namespace jasokit::cli

// The address database on POSIX: the file mapping behind
// AddressDatabase::Open, its guard against the file being cut short, and the
// user's folder. Windows maps it too, in a file of its own
// (system-windows.cpp); other systems read the file whole.
#include <cstdlib>

#include "addrdb/address_db_reader.h"

#if defined(__unix__) || defined(__APPLE__)
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#else
#include <fstream>
#include <iterator>
#include <memory>
#endif

namespace jasokit::detail::addrdb {

#if defined(__unix__) || defined(__APPLE__)

namespace {

// The mappings a fault may be in, for the signal handler, which can take no
// lock: a slot is claimed by its owner, filled, and emptied before the
// mapping goes. More mappings than slots are mapped unguarded.
struct GuardedMapping {
  std::atomic<bool> used{false};
  std::atomic<std::uintptr_t> begin{0};
  std::atomic<std::uintptr_t> end{0};
  std::atomic<bool> faulted{false};
};
constexpr std::size_t kGuardedMappings = 256;
GuardedMapping g_mappings[kGuardedMappings];

GuardedMapping* Guard(const void* data, std::size_t size) {
  for (GuardedMapping& m : g_mappings) {
    bool expected = false;
    if (!m.used.compare_exchange_strong(expected, true)) continue;
    m.faulted.store(false);
    m.begin.store(reinterpret_cast<std::uintptr_t>(data));
    m.end.store(reinterpret_cast<std::uintptr_t>(data) + size);
    return &m;
  }
  return nullptr;
}

void Unguard(GuardedMapping* m) {
  if (!m) return;
  m->end.store(0);
  m->begin.store(0);
  m->used.store(false);
}

std::mutex g_handlerLock;
std::size_t g_guards = 0;
struct sigaction g_previous {};
std::uintptr_t g_pageMask = 0;

// What was there before: its handler, or the default end of the process.
void PassOn(int signal, siginfo_t* info, void* context) {
  if ((g_previous.sa_flags & SA_SIGINFO) != 0 && g_previous.sa_sigaction) {
    g_previous.sa_sigaction(signal, info, context);
    return;
  }
  if ((g_previous.sa_flags & SA_SIGINFO) == 0 && g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
    g_previous.sa_handler(signal);
    return;
  }
  // The signal, held back until this returns, then ends the process as it
  // would have without the guard.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  raise(signal);
}

// A read past the end of a file cut short: the rest of the mapping becomes
// zeros (the reader checks every reference, so zeros lead nowhere), the
// database learns it changed, and the read is done again.
void OnFault(int signal, siginfo_t* info, void* context) {
  const int savedErrno = errno;
  const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (GuardedMapping& m : g_mappings) {
    const std::uintptr_t begin = m.begin.load(), end = m.end.load();
    if (info->si_code <= 0 || at < begin || at >= end) continue;
    const std::uintptr_t page = at & g_pageMask;
    if (::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) ==
        MAP_FAILED) {
      break;
    }
    m.faulted.store(true);
    errno = savedErrno;
    return;
  }
  errno = savedErrno;
  PassOn(signal, info, context);
}

#if defined(__APPLE__)
const timespec& ModificationTime(const struct stat& st) { return st.st_mtimespec; }
#else
const timespec& ModificationTime(const struct stat& st) { return st.st_mtim; }
#endif

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

}  // namespace

AddressDbStatus MapFile(const std::string& path, MappedBytes& out) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return AddressDbStatus::CannotOpen;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return AddressDbStatus::CannotOpen;
  }
  const auto size = static_cast<std::size_t>(st.st_size);
  if (size == 0) {
    ::close(fd);
    return AddressDbStatus::NotADatabase;
  }
  void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (data == MAP_FAILED) {
    ::close(fd);
    return AddressDbStatus::CannotOpen;
  }
  GuardedMapping* guarded = Guard(data, size);
  out.data = static_cast<const char*>(data);
  out.size = size;
  out.faulted = guarded ? &guarded->faulted : nullptr;
  // The descriptor stays open to tell whether the file changed.
  out.unchanged = [fd, st] {
    struct stat now {};
    return ::fstat(fd, &now) == 0 && now.st_size == st.st_size && SameTime(ModificationTime(now), ModificationTime(st));
  };
  out.release = [data, size, fd, guarded] {
    Unguard(guarded);
    ::munmap(data, size);
    ::close(fd);
  };
  return AddressDbStatus::Ok;
}

#else

AddressDbStatus MapFile(const std::string& path, MappedBytes& out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return AddressDbStatus::CannotOpen;
  auto bytes = std::make_shared<std::string>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) return AddressDbStatus::CannotOpen;
  out.data = bytes->data();
  out.size = bytes->size();
  out.release = [bytes] {};
  return AddressDbStatus::Ok;
}

#endif

std::string EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace jasokit::detail::addrdb

namespace jasokit {

#if defined(__unix__) || defined(__APPLE__)

AddressDbFaultGuard::AddressDbFaultGuard() {
  using namespace detail::addrdb;
  const std::lock_guard<std::mutex> lock(g_handlerLock);
  if (g_guards++ != 0) return;
  g_pageMask = ~(static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE)) - 1);
  struct sigaction action {};
  action.sa_sigaction = OnFault;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGBUS, &action, &g_previous);
}

AddressDbFaultGuard::~AddressDbFaultGuard() {
  using namespace detail::addrdb;
  const std::lock_guard<std::mutex> lock(g_handlerLock);
  if (--g_guards == 0) sigaction(SIGBUS, &g_previous, nullptr);
}

#else

AddressDbFaultGuard::AddressDbFaultGuard() = default;
AddressDbFaultGuard::~AddressDbFaultGuard() = default;

#endif

std::string UserAddressDbPath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data == '/') return std::string(data) + "/jasokit/address.db";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.local/share/jasokit/address.db";
  return {};
}

}  // namespace jasokit

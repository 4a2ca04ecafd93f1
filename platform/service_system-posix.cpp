#include <netdb.h>
#include <netinet/in.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/service_system.h"

namespace jasokit::cli {

int ListenTcp(const std::string& host, int port, int& boundPort, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  if (const int rc = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found)) {
    error = gai_strerror(rc);
    return -1;
  }
  int listening = -1;
  for (const addrinfo* a = found; a && listening < 0; a = a->ai_next) {
    const int sock = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (sock < 0) continue;
    // SO_REUSEADDR alone: with SO_REUSEPORT a second service on the same
    // port would bind too and take part of the connections.
    const int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_storage bound{};
    socklen_t size = sizeof bound;
    if (bind(sock, a->ai_addr, a->ai_addrlen) != 0 || listen(sock, SOMAXCONN) != 0 ||
        getsockname(sock, reinterpret_cast<sockaddr*>(&bound), &size) != 0) {
      error = std::strerror(errno);
      close(sock);
      continue;
    }
    listening = sock;
    const auto* in = reinterpret_cast<const sockaddr_in*>(&bound);
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&bound);
    boundPort = ntohs(bound.ss_family == AF_INET6 ? in6->sin6_port : in->sin_port);
  }
  freeaddrinfo(found);
  return listening;
}

void CloseSocket(int socket) {
  if (socket >= 0) close(socket);
}

void ResetOnClose(int socket) {
  const linger reset{1, 0};
  if (socket >= 0) setsockopt(socket, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
}

void LimitSendBuffer(int socket, int bytes) { setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes); }

std::uint64_t RaiseOpenFileLimit(std::uint64_t wanted) {
  rlimit files{};
  if (getrlimit(RLIMIT_NOFILE, &files) != 0) return 0;
  const rlim_t target = std::min<rlim_t>(files.rlim_max, wanted);
  if (files.rlim_cur < target) {
    files.rlim_cur = target;
    if (setrlimit(RLIMIT_NOFILE, &files) != 0) getrlimit(RLIMIT_NOFILE, &files);
  }
  return files.rlim_cur == RLIM_INFINITY ? wanted : files.rlim_cur;
}

std::string NumericAddress(const sockaddr* address) {
  char host[NI_MAXHOST] = "?";
  if (address) {
    const socklen_t size = address->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    getnameinfo(address, size, host, sizeof host, nullptr, 0, NI_NUMERICHOST);
  }
  return host;
}

FileStamp StampOfFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
          static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

void RandomBytes(unsigned char* bytes, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = getrandom(bytes + got, size - got, 0);
    if (n > 0) got += static_cast<std::size_t>(n);
  }
}

}  // namespace jasokit::cli

#pragma once
// The service's calls to the system: its listening socket, the options of the
// connections it answers, the limit on open files, the stamp of the database
// file it watches and random bytes. POSIX only, as the service is;
// service_system-posix.cpp implements it.
#include <cstddef>
#include <cstdint>
#include <string>

struct sockaddr;

namespace jasokit::cli {

// A non-blocking socket listening on host:port (port 0: one the system
// picks), the first of host's addresses that can be bound; -1 with error set
// to the system's reason when none can. boundPort receives the port.
int ListenTcp(const std::string& host, int port, int& boundPort, std::string& error);
void CloseSocket(int socket);

// The connection is reset rather than closed when it is closed: what its
// socket still holds for the peer is dropped.
void ResetOnClose(int socket);
// Caps what the kernel holds in the socket for the peer.
void LimitSendBuffer(int socket, int bytes);

// The limit on open files, first raised towards wanted (never past its
// ceiling); wanted when it is unlimited, 0 when the system does not tell.
std::uint64_t RaiseOpenFileLimit(std::uint64_t wanted);

// The address as digits ("192.0.2.1", "::1"); "?" for none.
std::string NumericAddress(const sockaddr* address);

// What tells one version of a file from the next: its identity, size and
// time of change; all zero when it cannot be had.
struct FileStamp {
  std::uint64_t device = 0, inode = 0, size = 0;
  std::int64_t seconds = 0, nanoseconds = 0;
  bool operator==(const FileStamp& o) const {
    return device == o.device && inode == o.inode && size == o.size && seconds == o.seconds &&
           nanoseconds == o.nanoseconds;
  }
};
FileStamp StampOfFile(const std::string& path);

// Fills bytes with random bytes from the system's source.
void RandomBytes(unsigned char* bytes, std::size_t size);

}  // namespace jasokit::cli

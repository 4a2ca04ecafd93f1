// The address database on POSIX: the file mapping behind
// AddressDatabase::Open, and the user's folder. Windows maps it too, in a
// file of its own (system-windows.cpp); other systems read the file whole.
#include <cstdlib>

#include "addrdb/address_db_reader.h"

#if defined(__unix__) || defined(__APPLE__)
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <fstream>
#include <iterator>
#include <memory>
#endif

namespace jasokit::detail::addrdb {

#if defined(__unix__) || defined(__APPLE__)

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
  ::close(fd);
  if (data == MAP_FAILED) return AddressDbStatus::CannotOpen;
  out.data = static_cast<const char*>(data);
  out.size = size;
  out.release = [data, size] { ::munmap(data, size); };
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

std::string UserAddressDbPath() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && *data == '/') return std::string(data) + "/jasokit/address.db";
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.local/share/jasokit/address.db";
  return {};
}

}  // namespace jasokit

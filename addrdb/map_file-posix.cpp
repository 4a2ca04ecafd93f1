// The file mapping behind AddressDatabase::Open. POSIX maps the file; other
// systems without a file of their own (map_file-windows.cpp) read it whole.
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

}  // namespace jasokit::detail::addrdb

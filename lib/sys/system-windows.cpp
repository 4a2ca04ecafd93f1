// The address database on Windows: the file mapping behind
// AddressDatabase::Open (the UTF-8 path opened through the wide API, mapped
// read-only), the environment in UTF-8, and the user's folder.
#include <errno.h>
#include <stdlib.h>

#include "addrdb/address_db_reader.h"
#include "utf16.h"

namespace jasokit::detail::addrdb {

namespace {

// errno as the POSIX build leaves it, for the caller's message.
void SetErrno(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: errno = EACCES; break;
    default: errno = EIO;
  }
}

}  // namespace

AddressDbStatus MapFile(const std::string& path, MappedBytes& out) {
  const std::wstring wide = platform::Widen(path);
  const DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return AddressDbStatus::CannotOpen;
  HANDLE file = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    SetErrno(::GetLastError());
    return AddressDbStatus::CannotOpen;
  }
  LARGE_INTEGER size{};
  if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileSizeEx(file, &size)) {
    ::CloseHandle(file);
    return AddressDbStatus::CannotOpen;
  }
  if (size.QuadPart == 0) {
    ::CloseHandle(file);
    return AddressDbStatus::NotADatabase;
  }
  HANDLE mapping = ::CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
  ::CloseHandle(file);  // the mapping keeps the file open
  if (!mapping) return AddressDbStatus::CannotOpen;
  void* data = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
  ::CloseHandle(mapping);  // and the view the mapping
  if (!data) return AddressDbStatus::CannotOpen;
  out.data = static_cast<const char*>(data);
  out.size = static_cast<std::size_t>(size.QuadPart);
  out.release = [data] { ::UnmapViewOfFile(data); };
  return AddressDbStatus::Ok;
}

std::string EnvironmentValue(const char* name) {
  const wchar_t* value = ::_wgetenv(platform::Widen(name).c_str());
  return value ? platform::Narrow(value) : std::string();
}

}  // namespace jasokit::detail::addrdb

namespace jasokit {

// A file mapped here cannot be cut short (the system refuses while a view
// exists), so there is nothing to guard.
AddressDbFaultGuard::AddressDbFaultGuard() = default;
AddressDbFaultGuard::~AddressDbFaultGuard() = default;

// Per user and per machine, as Windows programs keep their data:
// %LOCALAPPDATA%\jasokit\address.db.
std::string UserAddressDbPath() {
  const std::string folder = detail::addrdb::EnvironmentValue("LOCALAPPDATA");
  if (folder.empty()) return {};
  return folder + "\\jasokit\\address.db";
}

}  // namespace jasokit

#include "frontend/address_db_open.h"

#include <errno.h>

#include <cstring>

#include "platform/platform.h"

namespace jasokit::cli {

std::string AddressDbDamagedMessage(const std::string& section) {
  return "the address database is damaged (its section '" + section + "' fails its checksum); build it again";
}

AddressDbOpening FindAddressDb(const std::string* named, AddressDatabase& db, bool verify) {
  AddressDbOpening o;
  o.path = named ? *named : DefaultAddressDbPath();
  if (o.path.empty() || (!named && IsMissing(o.path))) {
    o.path.clear();
    return o;
  }
  errno = 0;
  const AddressDbStatus status = db.Open(o.path);
  const int openErrno = errno;
  std::string section;
  const AddressDbStatus verified = status == AddressDbStatus::Ok && verify ? db.Verify(&section) : status;
  if (verified == AddressDbStatus::Ok) {
    o.found = AddressDbFound::kOpened;
    return o;
  }
  db = AddressDatabase();
  o.found = named ? AddressDbFound::kError : AddressDbFound::kNone;
  o.unreadable = status == AddressDbStatus::CannotOpen;
  if (IsFolder(o.path)) {
    o.problem = "a folder, not an address database";
  } else if (o.unreadable && openErrno != 0) {
    o.problem = std::strerror(openErrno);
  } else if (!section.empty()) {
    o.problem = AddressDbDamagedMessage(section);
  } else {
    o.problem = AddressDbStatusMessage(verified);
  }
  return o;
}

}  // namespace jasokit::cli

#pragma once
// Which address database a program uses when the user names none, and how
// a named one is opened: one rule for the command line, the service and
// the Python module.
#include <string>

#include "jasokit/address_db.h"

namespace jasokit::cli {

enum class AddressDbFound { kOpened, kNone, kError };

struct AddressDbOpening {
  AddressDbFound found = AddressDbFound::kNone;
  std::string path;         // the file tried; "" when none was
  std::string problem;      // why it was not opened ("" when it was, or when a default is absent)
  bool unreadable = false;  // the file could not be read, rather than its bytes refused
};

// Opens named, else the file in JASOKIT_ADDRDB, else the per-user one;
// with verify, reads it whole against its checksums. A named file that
// cannot be opened is kError; a default that does not exist is kNone
// without a problem, one that cannot be opened is kNone with one.
AddressDbOpening FindAddressDb(const std::string* named, AddressDatabase& db, bool verify = false);

// What the user is told of a database whose section fails its checksum.
std::string AddressDbDamagedMessage(const std::string& section);

}  // namespace jasokit::cli

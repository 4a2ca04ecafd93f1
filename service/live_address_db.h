#pragma once
// The address database the service answers from, replaced while it runs. A
// new file renamed over the old one (as `addrdb build` writes it) is opened,
// checked and swapped in; a request holds the database it took until its
// answer is written, so none is dropped and the old mapping goes with the
// last of them. A file changed in place, so that the one in use is Changed,
// is opened again as soon as it is sound again; until then the answers that
// need it are errors.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "jasokit/address_db.h"
#include "platform/service_system.h"

namespace jasokit::cli {

class LiveAddressDb {
 public:
  // path: the file db was opened from (an open database).
  LiveAddressDb(std::string path, AddressDatabase db);

  // The database now, for one request (never null).
  std::shared_ptr<const AddressDatabase> Current() const;

  // Opens the file again if it is no longer the one in use (another file,
  // size or time) or the one in use is Changed, or always when asked (on
  // SIGHUP); a file that does not open keeps the one in use and is tried
  // again once it changes. Returns a line for standard error, or "".
  std::string Refresh(bool asked);

 private:
  using Stamp = FileStamp;

  const std::string m_path;
  std::shared_ptr<const AddressDatabase> m_current;  // read and written atomically
  std::mutex m_refreshing;
  Stamp m_stamp;   // the file's when the one in use was opened
  Stamp m_failed;  // the file's when it last failed to open
};

}  // namespace jasokit::cli

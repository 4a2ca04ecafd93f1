#include "service/live_address_db.h"

#include <atomic>
#include <cerrno>
#include <cstring>

namespace jasokit::cli {

LiveAddressDb::LiveAddressDb(std::string path, AddressDatabase db)
    : m_path(std::move(path)), m_current(std::make_shared<const AddressDatabase>(std::move(db))) {
  // Read after the open: a file renamed over it in between is opened once
  // more at the first refresh, which is harmless.
  m_stamp = StampOfFile(m_path);
}

std::shared_ptr<const AddressDatabase> LiveAddressDb::Current() const { return std::atomic_load(&m_current); }

std::string LiveAddressDb::Refresh(bool asked) {
  const std::lock_guard<std::mutex> lock(m_refreshing);
  const Stamp now = StampOfFile(m_path);
  const bool changed = Current()->Check() != AddressDbStatus::Ok;
  if (!asked && ((now == m_stamp && !changed) || now == m_failed)) return "";
  AddressDatabase db;
  errno = 0;
  const AddressDbStatus opened = db.Open(m_path);
  // Read whole, as at start: a damaged file never replaces a sound one.
  const AddressDbStatus status = opened == AddressDbStatus::Ok ? db.Verify() : opened;
  if (status != AddressDbStatus::Ok) {
    m_failed = now;
    const std::string why =
        status == AddressDbStatus::CannotOpen && errno != 0 ? std::strerror(errno) : AddressDbStatusMessage(status);
    return "jasokit serve: " + m_path + ": " + why + "; " +
           (changed ? "answers that need the address database fail until it is replaced\n"
                    : "still answering from the one loaded before\n");
  }
  std::atomic_store(&m_current,
                    std::shared_ptr<const AddressDatabase>(std::make_shared<AddressDatabase>(std::move(db))));
  m_stamp = now;
  m_failed = {};
  return "jasokit serve: " + m_path + ": address database loaded again\n";
}

}  // namespace jasokit::cli

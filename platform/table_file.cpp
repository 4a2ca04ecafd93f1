// The steps of replacing a table, the same on every system; the system's
// calls are in platform-posix.cpp and platform-windows.cpp.
#include <utility>

#include "platform/platform.h"

namespace jasokit::cli {

namespace {

constexpr std::size_t kFlushBytes = 1 << 16;

std::string NotRegular(const std::string& target, const char* kind) {
  return target + " is " + kind + ", not a regular file; nothing was replaced";
}

}  // namespace

TableFile::TableFile() : TableFile(SystemTableFiles()) {}

TableFile::TableFile(std::unique_ptr<TableFileSystem> system) : m_system(std::move(system)) {}

TableFile::~TableFile() { m_system->Discard(); }

TableFileStatus TableFile::Open(const std::string& target, const FileId* input, std::string& error) {
  m_target = target;
  m_path = target;
  const TableFileStatus status = m_system->Open(target, input, m_path, error);
  m_open = status == TableFileStatus::Ok;
  return status;
}

TableFileStatus TableFile::Fail(TableFileStatus status, std::string& error, std::string message) {
  error = std::move(message);
  m_system->Discard();
  m_open = false;
  return status;
}

bool TableFile::Write(std::string_view bytes, std::string& error) {
  if (!m_open) {
    error = "error writing " + m_target;
    return false;
  }
  m_buffer.append(bytes);
  return m_buffer.size() < kFlushBytes || Flush(error);
}

bool TableFile::Flush(std::string& error) {
  if (!m_system->Append(m_buffer)) {
    Fail(TableFileStatus::Failed, error, "error writing " + m_target + ": " + m_system->reason());
    return false;
  }
  m_buffer.clear();
  return true;
}

TableFileStatus TableFile::Commit(std::string_view header, std::string& error,
                                  const std::function<std::string(const std::string&)>& check) {
  if (!m_open) {
    error = "error writing " + m_target;
    return TableFileStatus::Failed;
  }
  if (!Flush(error)) return TableFileStatus::Failed;
  if (!m_system->Finish(header)) {
    return Fail(TableFileStatus::Failed, error, "error writing " + m_target + ": " + m_system->reason());
  }
  // Whatever took the target's place since it was checked is no table to
  // replace either.
  if (const char* kind = m_system->IrregularKind(m_path)) {
    return Fail(TableFileStatus::NotRegular, error, NotRegular(m_target, kind));
  }
  if (check) {
    std::string reason = check(m_system->temp());
    if (!reason.empty()) return Fail(TableFileStatus::Failed, error, std::move(reason));
  }
  if (!m_system->Replace(m_path)) {
    return Fail(TableFileStatus::Failed, error, "cannot replace " + m_target + ": " + m_system->reason());
  }
  m_open = false;
  return TableFileStatus::Ok;
}

}  // namespace jasokit::cli

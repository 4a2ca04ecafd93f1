#include "cli/addrdb_source.h"

#include <errno.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <memory>

#include "cli/cli.h"
#include "jasokit/address_db.h"
#include "jasokit/cp949.h"
#include "platform/platform.h"

namespace jasokit::cli {

namespace {

constexpr std::size_t kReadBytes = 1 << 20;

}  // namespace

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of(kPathSeparators);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name that starts with its date (20130604_대구광역시.txt) gives it;
// otherwise the file's own date.
std::string Edition(std::string_view name, std::time_t modified) {
  bool dated = name.size() >= 8;
  for (std::size_t i = 0; dated && i < 8; ++i) dated = name[i] >= '0' && name[i] <= '9';
  if (dated) {
    return std::string(name.substr(0, 4)) + "-" + std::string(name.substr(4, 2)) + "-" + std::string(name.substr(6, 2));
  }
  char text[16] = "unknown";
  std::tm date{};
  if (UtcTime(modified, date)) std::strftime(text, sizeof text, "%Y-%m-%d", &date);
  return text;
}

// An entry name as the user reads it: UTF-8 when it is, else CP949 (what
// Korean zips hold without the UTF-8 flag).
std::string EntryName(const char* raw) {
  std::string name;
  if (IsValidUtf8(raw)) return raw;
  Cp949ToUtf8(raw, name);
  return name;
}

bool IsText(std::string_view name) {
  if (name.size() < 4) return false;
  std::string tail(name.substr(name.size() - 4));
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return tail == ".txt";
}

std::string ForEachSourceText(const std::string& path, const std::function<bool(SourceText&)>& each) {
  auto file = std::make_shared<InputFile>();
  std::string error;
  if (!file->Open(path, error)) {
    // Kept as it was said before files were opened through InputFile.
    if (error.rfind("cannot read ", 0) == 0) error = "cannot read " + path + ": not a regular file";
    return error;
  }
  // The first bytes tell a zip; a text gets them back before the rest.
  auto head = std::make_shared<std::string>(4, '\0');
  long got = 0;
  while (got < 4) {
    const long n = file->Read(&(*head)[static_cast<std::size_t>(got)], static_cast<std::size_t>(4 - got));
    if (n <= 0) break;
    got += n;
  }
  head->resize(static_cast<std::size_t>(got > 0 ? got : 0));
  if (*head == "PK\x03\x04") return ForEachZipEntry(path, each);
  SourceText text{BaseName(path), Edition(BaseName(path), file->modified()),
                  [file, head](char* buffer, std::size_t size) -> long {
                    if (head->empty()) return file->Read(buffer, size);
                    const std::size_t n = std::min(size, head->size());
                    head->copy(buffer, n);
                    head->erase(0, n);
                    return static_cast<long>(n);
                  }};
  each(text);
  return {};
}

bool SourceLines::Fill() {
  if (m_eof) return false;
  m_buffer.erase(0, m_pos);
  m_pos = 0;
  const std::size_t had = m_buffer.size();
  m_buffer.resize(had + kReadBytes);
  const long got = m_text.read(&m_buffer[had], kReadBytes);
  m_buffer.resize(had + static_cast<std::size_t>(got > 0 ? got : 0));
  if (got < 0) m_failed = true;
  if (got <= 0) m_eof = true;
  return got > 0;
}

bool SourceLines::Next(std::string_view& line, bool& overLong) {
  overLong = false;
  for (;;) {
    const std::size_t lf = m_buffer.find('\n', m_pos);
    if (lf != std::string::npos) {
      ++m_line;
      line = std::string_view(m_buffer).substr(m_pos, lf - m_pos);
      m_pos = lf + 1;
      if (line.size() > m_max) {
        line = line.substr(0, m_max);
        overLong = true;
      }
      return true;
    }
    if (m_buffer.size() - m_pos > m_max) {
      // Past any row: cut it, and skip to its end.
      overLong = true;
      m_held = m_buffer.substr(m_pos, m_max);
      m_pos = m_buffer.size();
      while (Fill()) {
        const std::size_t end = m_buffer.find('\n');
        if (end != std::string::npos) {
          m_pos = end + 1;
          break;
        }
        m_pos = m_buffer.size();
      }
      ++m_line;
      line = m_held;
      return !m_failed;
    }
    if (!Fill()) {
      if (m_failed || m_pos == m_buffer.size()) return false;
      ++m_line;
      line = std::string_view(m_buffer).substr(m_pos);
      m_pos = m_buffer.size();
      return true;
    }
  }
}

}  // namespace jasokit::cli

namespace jasokit::cli {

std::string OpenVerified(const std::string& path, AddressDatabase& db) {
  AddressDbStatus status = db.Open(path);
  std::string section;
  if (status == AddressDbStatus::Ok) status = db.Verify(&section);
  if (status == AddressDbStatus::Ok) return {};
  db = AddressDatabase();
  return section.empty() ? AddressDbStatusMessage(status) : AddressDbDamagedMessage(section);
}

AddressDbFound OpenAddressDb(const std::string* named, const char* command, CliIo& io, AddressDatabase& db,
                             bool verify) {
  const AddressDbOpening opening = FindAddressDb(named, db, verify);
  if (!opening.problem.empty()) {
    io.Error(std::string("jasokit ") + command + ": " + (named ? "" : "warning: ") + opening.path + ": " +
             opening.problem + "\n");
  }
  return opening.found;
}

std::string NoAddressDbMessage(const char* command) {
  return std::string("jasokit ") + command +
         ": no address database; download Korea Post's postcode files (\"우편번호 DB\") and build one with\n"
         "  jasokit addrdb build SOURCE... --install\n";
}

}  // namespace jasokit::cli

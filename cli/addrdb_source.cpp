#include "cli/addrdb_source.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <cstring>
#include <ctime>
#include <memory>

#include "cli/cli.h"
#include "jasokit/address_db.h"
#include "jasokit/cp949.h"

namespace jasokit::cli {

namespace {

constexpr std::size_t kReadBytes = 1 << 20;

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
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
  if (gmtime_r(&modified, &date)) std::strftime(text, sizeof text, "%Y-%m-%d", &date);
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

std::string ZipError(zip_error_t* error) {
  const char* text = zip_error_strerror(error);
  return text ? text : "unreadable zip";
}

std::string ForEachZipEntry(int fd, const std::string& path, const std::function<bool(SourceText&)>& each) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_filep_create(fdopen(fd, "rb"), 0, -1, &error);
  if (!source) return "cannot read " + path + ": " + ZipError(&error);
  std::unique_ptr<zip_t, int (*)(zip_t*)> archive(zip_open_from_source(source, ZIP_RDONLY, &error), zip_close);
  if (!archive) {
    zip_source_free(source);
    return "cannot read " + path + " as a zip: " + ZipError(&error);
  }
  const zip_int64_t entries = zip_get_num_entries(archive.get(), 0);
  for (zip_int64_t i = 0; i < entries; ++i) {
    zip_stat_t st;
    const auto index = static_cast<zip_uint64_t>(i);
    if (zip_stat_index(archive.get(), index, ZIP_FL_ENC_RAW, &st) != 0 || !st.name) continue;
    const std::string name = EntryName(st.name);
    // Folders, and what comes beside the texts (a guide, a layout sheet).
    if (!IsText(name)) continue;
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> file(zip_fopen_index(archive.get(), index, 0), zip_fclose);
    if (!file) return "cannot read " + path + ": " + name + ": " + zip_strerror(archive.get());
    SourceText text{
        BaseName(path) + ": " + name, Edition(BaseName(name), st.mtime),
        [f = file.get()](char* buffer, std::size_t size) { return static_cast<long>(zip_fread(f, buffer, size)); }};
    if (!each(text)) break;
  }
  return {};
}

}  // namespace

std::string ForEachSourceText(const std::string& path, const std::function<bool(SourceText&)>& each) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return "cannot open " + path + ": " + std::strerror(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return "cannot read " + path + ": not a regular file";
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  char magic[4] = {};
  const bool zipped = ::pread(fd, magic, 4, 0) == 4 && std::memcmp(magic, "PK\x03\x04", 4) == 0;
  if (zipped) return ForEachZipEntry(fd, path, each);  // the zip source owns fd
  SourceText text{BaseName(path), Edition(BaseName(path), st.st_mtime), [fd](char* buffer, std::size_t size) {
                    for (;;) {
                      const ssize_t got = ::read(fd, buffer, size);
                      if (got < 0 && errno == EINTR) continue;
                      return static_cast<long>(got);
                    }
                  }};
  each(text);
  ::close(fd);
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

AddressDbFound OpenAddressDb(const std::string* named, const char* command, CliIo& io, AddressDatabase& db) {
  const std::string path = named ? *named : DefaultAddressDbPath();
  if (path.empty()) return AddressDbFound::kNone;
  struct stat st {};
  if (!named && ::stat(path.c_str(), &st) != 0 && errno == ENOENT) return AddressDbFound::kNone;
  errno = 0;
  const AddressDbStatus status = db.Open(path);
  if (status == AddressDbStatus::Ok) return AddressDbFound::kOpened;
  const std::string why =
      status == AddressDbStatus::CannotOpen && errno != 0 ? std::strerror(errno) : AddressDbStatusMessage(status);
  io.Error(std::string("jasokit ") + command + ": " + (named ? "" : "warning: ") + path + ": " + why + "\n");
  return named ? AddressDbFound::kError : AddressDbFound::kNone;
}

std::string NoAddressDbMessage(const char* command) {
  return std::string("jasokit ") + command +
         ": no address database; download Korea Post's postcode files (\"우편번호 DB\") and build one with\n"
         "  jasokit addrdb build SOURCE... --install\n";
}

}  // namespace jasokit::cli

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

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int Number(std::string_view digits) {
  int n = 0;
  for (const char c : digits) n = n * 10 + (c - '0');
  return n;
}

// YYYY, MM and DD as a date of the years Korea Post can have published;
// dd empty for a month alone.
std::string DateOf(std::string_view yyyy, std::string_view mm, std::string_view dd) {
  const int year = Number(yyyy), month = Number(mm), day = dd.empty() ? 1 : Number(dd);
  if (year < 1990 || year > 2099 || month < 1 || month > 12 || day < 1 || day > 31) return {};
  return std::string(yyyy) + "-" + std::string(mm) + (dd.empty() ? "" : "-" + std::string(dd));
}

// 2023-12-05, 2023.12.05 or 2023_12_05 at the run of four digits at begin.
std::string SeparatedDate(std::string_view name, std::size_t begin) {
  const std::string_view rest = name.substr(begin);
  if (rest.size() < 10 || (rest.size() > 10 && IsDigit(rest[10]))) return {};
  const char sep = rest[4];
  if ((sep != '-' && sep != '.' && sep != '_') || rest[7] != sep) return {};
  for (const std::size_t k : {5, 6, 8, 9}) {
    if (!IsDigit(rest[k])) return {};
  }
  return DateOf(rest.substr(0, 4), rest.substr(5, 2), rest.substr(8, 2));
}

}  // namespace

// The first date a name's runs of digits give: eight digits (20230604_대구.txt),
// a date with separators (서울_2023-12-05.txt), or six digits for a month
// (zipcode_202312.zip). Four digits alone (a year) are no edition.
std::string Edition(std::string_view name) {
  for (std::size_t i = 0; i < name.size();) {
    if (!IsDigit(name[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < name.size() && IsDigit(name[end])) ++end;
    const std::string_view run = name.substr(i, end - i);
    std::string date;
    if (run.size() == 4) date = SeparatedDate(name, i);
    if (run.size() == 8) date = DateOf(run.substr(0, 4), run.substr(4, 2), run.substr(6, 2));
    if (run.size() == 6) date = DateOf(run.substr(0, 4), run.substr(4, 2), {});
    if (!date.empty()) return date;
    i = end;
  }
  return {};
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

std::string Printable(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0u;
    if (c < 0x20 || c == 0x7F) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      out += "\\u00";
      out += kHex[next >> 4];
      out += kHex[next & 15];
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string ForEachSourceText(const std::string& path, const std::function<bool(SourceText&)>& each,
                              std::vector<std::string>* entries) {
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
  if (*head == "PK\x03\x04") return ForEachZipEntry(path, each, entries);
  SourceText text{Printable(BaseName(path)), Edition(BaseName(path)),
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
  if (opening.found == AddressDbFound::kOpened) {
    const std::string old = AddressDbAgeWarning(db.Info(), static_cast<long long>(std::time(nullptr)));
    if (!old.empty()) io.Error(std::string("jasokit ") + command + ": warning: " + opening.path + ": " + old + "\n");
  }
  return opening.found;
}

std::string NoAddressDbMessage(const char* command) {
  return std::string("jasokit ") + command +
         ": no address database; download Korea Post's postcode files (\"우편번호 DB\") and build one with\n"
         "  jasokit addrdb build SOURCE... --install\n";
}

}  // namespace jasokit::cli

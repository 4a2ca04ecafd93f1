// jasokit zipdb build: turns a UTF-8 CSV into the dBASE III zip code table the
// loader reads, refusing anything the loader would not give back unchanged.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "cli/cli.h"
#include "romanize/cp949.h"
#include "zipcode/zip_database.h"

namespace jasokit::cli {

namespace {

constexpr const char* kZipDbHelp =
    "usage: jasokit zipdb build CSV -o FILE\n"
    "\n"
    "Builds the zip code table (a dBASE III file, CP949 text) that 'jasokit zip'\n"
    "and the desktop program read as zipcode030101t6.dbf.\n"
    "\n"
    "CSV is UTF-8 (a byte order mark is allowed; '-' reads standard input), one\n"
    "row per zip code entry with five columns:\n"
    "  zipcode, province, district, locality, detail\n"
    "of at most 7, 4, 13, 43 and 17 bytes in CP949 (a Hangul syllable takes two).\n"
    "Fields may be quoted as in RFC 4180; lines end in LF or CRLF; empty lines\n"
    "are skipped. A first row whose first field is 'zipcode' is a header and is\n"
    "skipped. The locality is the search key: it must not hold two spaces in a\n"
    "row or end in a space, and one of 43 bytes must not hold a space, because\n"
    "the table would cut it there.\n"
    "\n"
    "A value that does not fit is refused with its line and column, and nothing\n"
    "is written. The programs read only the first 44,338 rows of a table; more\n"
    "are written with a warning.\n"
    "\n"
    "options:\n"
    "  -o, --output FILE   the table to write (replaced only once complete)\n"
    "  --help              show this help\n"
    "\n"
    "exit status: 0 written, 2 usage error, 5 the CSV could not be read, held an\n"
    "invalid row, or the table could not be written\n";

constexpr std::size_t kColumnCount = 5;
constexpr std::size_t kMaxReportedErrors = 20;
constexpr std::size_t kMaxSequence = 99999;  // what a 5-digit numeric field holds

struct Column {
  const char* name;       // as in error messages and the CSV header
  const char* fieldName;  // dBASE field name, at most 10 characters
  std::size_t width;
};

constexpr Column kColumns[kColumnCount] = {
    {"zipcode", "ZIPCODE", kZipCodeBytes},   {"province", "PROVINCE", kZipProvinceBytes},
    {"district", "DISTRICT", kZipDistrictBytes}, {"locality", "LOCALITY", kZipLocalityBytes},
    {"detail", "DETAIL", kZipDetailBytes},
};
constexpr const char* kSequenceFieldName = "SEQ";
constexpr std::size_t kLocalityColumn = 3;

// 0x79 marks Korean Windows (code page 949) text for dBASE readers.
constexpr unsigned char kLanguageDriverCp949 = 0x79;

struct CsvRow {
  std::size_t line = 0;  // where the row starts
  std::vector<std::string> fields;
};

// RFC 4180 records from a whole text; reports the first syntax error.
class CsvReader {
 public:
  explicit CsvReader(std::string_view text) : m_text(text) {}

  // False at the end of the text or on an error (then error() is set).
  bool Next(CsvRow& row) {
    for (;;) {
      if (m_pos >= m_text.size()) return false;
      if (m_text[m_pos] == '\n') {
        ++m_pos;
        ++m_line;
        continue;
      }
      if (m_text.compare(m_pos, 2, "\r\n") == 0) {
        m_pos += 2;
        ++m_line;
        continue;
      }
      break;
    }
    row.line = m_line;
    row.fields.clear();
    for (;;) {
      row.fields.emplace_back();
      if (!ReadField(row.fields.back(), row.fields.size())) return false;
      if (m_pos >= m_text.size()) return true;
      if (m_text[m_pos] == ',') {
        ++m_pos;
        continue;
      }
      m_pos += m_text[m_pos] == '\r' ? 2 : 1;  // ReadField stops only at "\r\n" or '\n'
      ++m_line;
      return true;
    }
  }

  const std::string& error() const { return m_error; }

 private:
  bool AtRecordEnd() const {
    return m_pos >= m_text.size() || m_text[m_pos] == '\n' ||
           m_text.compare(m_pos, 2, "\r\n") == 0;
  }

  bool ReadField(std::string& field, std::size_t column) {
    if (m_pos < m_text.size() && m_text[m_pos] == '"') {
      const std::size_t startLine = m_line;
      ++m_pos;
      for (;;) {
        if (m_pos >= m_text.size()) {
          m_error = std::to_string(startLine) + ": column " + std::to_string(column) +
                    ": the quoted field is never closed";
          return false;
        }
        const char c = m_text[m_pos++];
        if (c == '"') {
          if (m_pos < m_text.size() && m_text[m_pos] == '"') {
            field += '"';
            ++m_pos;
            continue;
          }
          break;
        }
        if (c == '\n') ++m_line;
        field += c;
      }
      if (AtRecordEnd() || m_text[m_pos] == ',') return true;
      m_error = std::to_string(m_line) + ": column " + std::to_string(column) +
                ": text after the closing quote";
      return false;
    }
    while (!AtRecordEnd() && m_text[m_pos] != ',') {
      if (m_text[m_pos] == '"') {
        m_error = std::to_string(m_line) + ": column " + std::to_string(column) +
                  ": a quote inside an unquoted field (quote the whole field and double "
                  "the quote)";
        return false;
      }
      field += m_text[m_pos++];
    }
    return true;
  }

  std::string_view m_text;
  std::size_t m_pos = 0;
  std::size_t m_line = 1;
  std::string m_error;
};

bool IsHeader(const CsvRow& row) {
  const std::string& f = row.fields[0];
  if (f.size() != 7) return false;
  for (std::size_t i = 0; i < f.size(); ++i) {
    char c = f[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != "zipcode"[i]) return false;
  }
  return true;
}

// Why the value cannot be stored so that the loader gives it back, or "".
std::string CheckValue(std::string_view utf8, std::size_t column, std::string& cp949) {
  cp949.clear();
  if (!Utf8ToCp949(utf8, cp949)) return "invalid UTF-8 or a character with no CP949 form";
  for (unsigned char c : cp949) {
    if (c < 0x20 || c == 0x7F) return "a control character (line breaks and tabs included)";
  }
  const std::size_t width = kColumns[column].width;
  if (cp949.size() > width) {
    return std::to_string(cp949.size()) + " bytes in CP949, more than the field's " +
           std::to_string(width);
  }
  if (column == kLocalityColumn) {
    if (cp949.find("  ") != std::string::npos) {
      return "two spaces in a row; the table would cut the name there";
    }
    if (!cp949.empty() && cp949.back() == ' ') {
      return "a trailing space; the table would drop it";
    }
    if (cp949.size() == width && cp949.find(' ') != std::string::npos) {
      return "fills all 43 bytes and holds a space; the table would cut it at its last space";
    }
  }
  return std::string();
}

void PutLe16(std::string& out, std::size_t at, std::uint32_t v) {
  out[at] = static_cast<char>(v & 0xFF);
  out[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void PutLe32(std::string& out, std::size_t at, std::uint32_t v) {
  PutLe16(out, at, v & 0xFFFF);
  PutLe16(out, at + 2, v >> 16);
}

// The date of last update; SOURCE_DATE_EPOCH keeps builds reproducible.
std::tm UpdateDate() {
  std::time_t now = std::time(nullptr);
  if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH")) {
    char* end = nullptr;
    const long long v = std::strtoll(epoch, &end, 10);
    if (end != epoch && *end == '\0' && v >= 0) now = static_cast<std::time_t>(v);
  }
  std::tm date{};
  if (const std::tm* t = std::gmtime(&now)) date = *t;
  return date;
}

std::string TableHeader(std::uint32_t rows) {
  std::string header(kZipHeaderBytes, '\0');
  const std::tm date = UpdateDate();
  header[0] = 0x03;  // dBASE III, no memo
  header[1] = static_cast<char>(date.tm_year > 255 ? 255 : date.tm_year < 0 ? 0 : date.tm_year);
  header[2] = static_cast<char>(date.tm_mon + 1);
  header[3] = static_cast<char>(date.tm_mday);
  PutLe32(header, 4, rows);
  PutLe16(header, 8, kZipHeaderBytes);
  PutLe16(header, 10, kZipRecordBytes);
  header[29] = static_cast<char>(kLanguageDriverCp949);

  auto descriptor = [&header](std::size_t i, const char* name, char type, std::size_t width) {
    const std::size_t at = 32 + 32 * i;
    std::memcpy(&header[at], name, std::strlen(name));  // rest stays NUL
    header[at + 11] = type;
    header[at + 16] = static_cast<char>(width);
  };
  for (std::size_t i = 0; i < kColumnCount; ++i) {
    descriptor(i, kColumns[i].fieldName, 'C', kColumns[i].width);
  }
  descriptor(kColumnCount, kSequenceFieldName, 'N', kZipSequenceBytes);
  header[kZipHeaderBytes - 1] = 0x0D;
  return header;
}

void AppendRecord(const std::string (&values)[kColumnCount], std::size_t sequence,
                  std::string& body) {
  body += ' ';  // not deleted
  for (std::size_t i = 0; i < kColumnCount; ++i) {
    body += values[i];
    body.append(kColumns[i].width - values[i].size(), ' ');
  }
  std::string seq = sequence <= kMaxSequence ? std::to_string(sequence) : std::string();
  body.append(kZipSequenceBytes - seq.size(), ' ');  // numbers are right-aligned
  body += seq;
}

bool ReadWholeFile(const std::string& path, CliIo& io, std::string& text, std::string& error) {
  text.clear();
  if (path == "-") {
    char buffer[1 << 16];
    for (;;) {
      const long n = io.Read(buffer, sizeof buffer);
      if (n < 0) {
        error = "error reading standard input";
        return false;
      }
      if (n == 0) return true;
      text.append(buffer, static_cast<std::size_t>(n));
    }
  }
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    error = "cannot read " + path + ": it is a directory";
    return false;
  }
  std::ifstream in(path, std::ios::in | std::ios::binary);
  if (!in) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    text.append(buffer, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) {
    error = "error reading " + path;
    return false;
  }
  return true;
}

bool WriteTable(const std::string& path, const std::string& header, const std::string& body,
                std::string& error) {
  // Written beside the target and renamed, so a failure never leaves a
  // truncated table where the programs look for one.
  const std::string temp = path + ".tmp";
  {
    std::ofstream out(temp, std::ios::out | std::ios::binary | std::ios::trunc);
    if (!out) {
      error = "cannot create " + temp + ": " + std::strerror(errno);
      return false;
    }
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    out.write(body.data(), static_cast<std::streamsize>(body.size()));
    out.put('\x1A');  // dBASE end of file
    out.close();
    if (!out) {
      error = "error writing " + temp;
      std::error_code ignored;
      std::filesystem::remove(temp, ignored);
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    error = "cannot replace " + path + ": " + ec.message();
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    return false;
  }
  return true;
}

int Build(const std::string& csvPath, const std::string& outPath, CliIo& io) {
  const std::string where = "jasokit zipdb: " + (csvPath == "-" ? std::string("<stdin>") : csvPath);
  std::string text;
  std::string error;
  if (!ReadWholeFile(csvPath, io, text, error)) {
    io.Error("jasokit zipdb: " + error + "\n");
    return kExitDataError;
  }
  std::string_view csv = text;
  if (csv.substr(0, 3) == "\xEF\xBB\xBF") csv.remove_prefix(3);

  CsvReader reader(csv);
  CsvRow row;
  std::string body;
  std::size_t rows = 0;
  std::size_t errors = 0;
  bool first = true;
  std::string values[kColumnCount];
  auto report = [&](const std::string& message) {
    if (++errors <= kMaxReportedErrors) io.Error(where + ":" + message + "\n");
  };
  while (reader.Next(row)) {
    if (first) {
      first = false;
      if (IsHeader(row)) continue;
    }
    if (row.fields.size() != kColumnCount) {
      report(std::to_string(row.line) + ": " + std::to_string(row.fields.size()) +
             " fields, expected 5 (zipcode, province, district, locality, detail)");
      continue;
    }
    bool ok = true;
    for (std::size_t i = 0; i < kColumnCount; ++i) {
      const std::string why = CheckValue(row.fields[i], i, values[i]);
      if (!why.empty()) {
        report(std::to_string(row.line) + ": column " + std::to_string(i + 1) + " (" +
               kColumns[i].name + "): " + why);
        ok = false;
      }
    }
    if (!ok) continue;
    ++rows;
    if (rows > 0xFFFFFFFFu) {
      io.Error(where + ": more rows than a dBASE table can count\n");
      return kExitDataError;
    }
    AppendRecord(values, rows, body);
  }
  if (!reader.error().empty()) {
    io.Error(where + ":" + reader.error() + "\n");
    ++errors;
  }
  if (errors > 0) {
    if (errors > kMaxReportedErrors) {
      io.Error("jasokit zipdb: " + std::to_string(errors - kMaxReportedErrors) +
               " more errors not shown\n");
    }
    io.Error("jasokit zipdb: " + outPath + " not written\n");
    return kExitDataError;
  }

  if (!WriteTable(outPath, TableHeader(static_cast<std::uint32_t>(rows)), body, error)) {
    io.Error("jasokit zipdb: " + error + "\n");
    return kExitDataError;
  }
  if (rows == 0) {
    io.Error("jasokit zipdb: warning: the CSV holds no rows; the table written is empty\n");
  } else if (rows > kZipRecordCount) {
    io.Error("jasokit zipdb: warning: " + std::to_string(rows) +
             " rows written; the programs read only the first 44,338\n");
  }
  return kExitOk;
}

}  // namespace

int RunZipDb(const Args& args, CliIo& io) {
  if (args.empty()) {
    io.Error("jasokit zipdb: missing subcommand; run 'jasokit zipdb --help'\n");
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    io.Write(kZipDbHelp);
    return kExitOk;
  }
  if (args[0] != "build") {
    io.Error("jasokit zipdb: unknown subcommand '" + args[0] + "'; run 'jasokit zipdb --help'\n");
    return kExitUsage;
  }
  const std::string* csv = nullptr;
  const std::string* out = nullptr;
  bool optionsDone = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (!optionsDone && a.size() > 1 && a[0] == '-') {
      if (a == "--") {
        optionsDone = true;
      } else if (a == "--help" || a == "-h") {
        io.Write(kZipDbHelp);
        return kExitOk;
      } else if (a == "-o" || a == "--output") {
        if (i + 1 == args.size()) {
          io.Error("jasokit zipdb: " + a + " needs a FILE; run 'jasokit zipdb --help'\n");
          return kExitUsage;
        }
        out = &args[++i];
      } else {
        io.Error("jasokit zipdb: unknown option '" + a + "'; run 'jasokit zipdb --help'\n");
        return kExitUsage;
      }
      continue;
    }
    if (csv) {
      io.Error("jasokit zipdb: more than one CSV given; run 'jasokit zipdb --help'\n");
      return kExitUsage;
    }
    csv = &a;
  }
  if (!csv || !out) {
    io.Error(std::string("jasokit zipdb: build needs ") + (csv ? "-o FILE" : "a CSV") +
             "; run 'jasokit zipdb --help'\n");
    return kExitUsage;
  }
  if (out->empty()) {
    io.Error("jasokit zipdb: the output FILE is empty\n");
    return kExitUsage;
  }
  return Build(*csv, *out, io);
}

}  // namespace jasokit::cli

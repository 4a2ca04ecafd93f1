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
#include "cli/options.h"
#include "jasokit/cp949.h"
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

constexpr std::size_t kColumnCount = kZipFieldCount;
constexpr std::size_t kMaxReportedErrors = 20;

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
  return CheckZipValue(static_cast<ZipField>(column), cp949);
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
    out.put(ZipTableWriter::kEndOfFile);
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
  ZipRecord record;
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
               detail::kZipFields[i].column + "): " + why);
        ok = false;
      }
    }
    if (!ok) continue;
    ++rows;
    if (rows > 0xFFFFFFFFu) {
      io.Error(where + ": more rows than a dBASE table can count\n");
      return kExitDataError;
    }
    record.zipCode = values[0];
    record.province = values[1];
    record.district = values[2];
    record.locality = values[3];
    record.detail = values[4];
    ZipTableWriter::AppendRecord(record, rows, body);
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

  const ZipTableWriter writer(UpdateDate());
  if (!WriteTable(outPath, writer.Header(static_cast<std::uint32_t>(rows)), body, error)) {
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

enum ZipDbOption : std::size_t { kOptOutput };
constexpr OptionSpec kZipDbOptions[] = {
    {"--output", "-o", "a FILE"},
};

int RunZipDb(const Args& args, CliIo& io) {
  if (args.empty()) return UsageError(io, "zipdb", "missing subcommand");
  if (args[0] == "--help" || args[0] == "-h") {
    io.Write(kZipDbHelp);
    return kExitOk;
  }
  if (args[0] != "build") {
    const std::string near = NearestName(args[0], {"build"});
    return UsageError(io, "zipdb",
                      "unknown subcommand '" + args[0] + "'" + (near.empty() ? "" : " (did you mean 'build'?)"));
  }
  const Args buildArgs(args.begin() + 1, args.end());  // the operands point into it
  ParsedArgs parsed;
  if (!ParseOptions(buildArgs, kZipDbOptions, "zipdb", io, parsed)) return kExitUsage;
  if (parsed.help) {
    io.Write(kZipDbHelp);
    return kExitOk;
  }
  if (parsed.operands.size() > 1) return UsageError(io, "zipdb", "more than one CSV given");
  const std::string* out = parsed.Value(kOptOutput);
  if (parsed.operands.empty() || !out) {
    return UsageError(io, "zipdb", std::string("build needs ") + (parsed.operands.empty() ? "a CSV" : "-o FILE"));
  }
  if (out->empty()) {
    io.Error("jasokit zipdb: the output FILE is empty\n");
    return kExitUsage;
  }
  return Build(*parsed.operands[0], *out, io);
}

}  // namespace jasokit::cli

// jasokit zipdb build: turns a UTF-8 CSV into the dBASE III zip code table the
// loader reads, refusing anything the loader would not give back unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>
#include <string>

#include "cli/cli.h"
#include "cli/options.h"
#include "frontend/csv.h"
#include "jasokit/cp949.h"
#include "jasokit/zip.h"
#include "platform/platform.h"

namespace jasokit::cli {

namespace {

constexpr const char* kZipDbHelp =
    "usage: jasokit zipdb build CSV -o FILE [--sample]\n"
    "\n"
    "Builds the zip code table (a dBASE III file, CP949 text) that 'jasokit zip'\n"
    "and the desktop program read as zipcode030101t6.dbf.\n"
    "\n"
    "CSV is a regular file of UTF-8 text (a byte order mark is allowed; '-'\n"
    "reads standard input, whatever it is), one row per zip code entry with five\n"
    "columns:\n"
    "  zipcode, province, district, locality, detail\n"
    "of at most 7, 4, 13, 43 and 17 bytes in CP949 (a Hangul syllable takes two).\n"
    "Fields may be quoted as in RFC 4180; lines end in LF, CR LF or CR; empty\n"
    "lines are skipped. A row of more than 1024 bytes is refused (it is read\n"
    "past, never held). A first row whose first field is 'zipcode' is a header\n"
    "and is skipped; a CSV with a header and no rows is refused, an empty one\n"
    "makes an empty table. The locality is the search key: it must not hold two\n"
    "spaces in a row or end in a space, and one of 43 bytes must not hold a\n"
    "space, because the table would cut it there.\n"
    "\n"
    "A value that does not fit is refused with its line and column, and nothing\n"
    "is written. The programs read only the first 44,338 rows of a table; more\n"
    "are written with a warning.\n"
    "\n"
    "The table is written to a new file beside FILE, synced, and renamed over\n"
    "FILE once complete, so FILE is never left half written; a FILE replaced\n"
    "keeps its mode, and its owner where allowed. FILE must be a regular file\n"
    "you may write, or a new name: a device, pipe, folder or dangling link is\n"
    "refused and left as it is. A symbolic link is followed: the file it names\n"
    "is replaced and the link stays. FILE must not be the CSV itself.\n"
    "\n"
    "options:\n"
    "  -o, --output FILE   the table to write\n"
    "  --sample            mark the table as a demonstration sample, its zip\n"
    "                      codes made up: the programs say so where they show\n"
    "                      its rows\n"
    "  --help              show this help\n"
    "\n"
    "exit status: 0 written, 2 usage error (FILE is the CSV), or a CSV with a\n"
    "header and no rows, 3 FILE is not a regular file (nothing is replaced),\n"
    "5 the CSV could not be read or held an invalid row, or the table could\n"
    "not be written\n";

constexpr std::size_t kColumnCount = kZipFieldCount;
constexpr std::size_t kMaxReportedErrors = 20;
// Several times the longest valid row (84 CP949 bytes of values, at most
// twice that quoted in UTF-8); a longer one is refused without being held.
constexpr std::size_t kMaxRecordBytes = 1024;

bool IsHeader(const CsvRecord& row) {
  const std::string_view f = row[0].value;
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

// Standard input through CliIo, or the CSV file: the CSV reader's pull
// function.
class ByteSource {
 public:
  explicit ByteSource(CliIo& io) : m_io(&io) {}
  explicit ByteSource(InputFile& file) : m_file(&file) {}
  // Up to size bytes; 0 at the end, -1 on an error.
  long Read(char* buffer, std::size_t size) { return m_io ? m_io->Read(buffer, size) : m_file->Read(buffer, size); }
  // Why a file could not be read, "" for standard input.
  std::string error() const { return m_file ? m_file->ReadError() : std::string(); }

 private:
  CliIo* m_io = nullptr;
  InputFile* m_file = nullptr;
};

// The message for a CSV the reader gave up on, as "LINE: column N: what",
// LINE being where the fault was found (where its quote opened, for a quoted
// field never closed).
std::string SyntaxError(const CsvError& e) {
  const char* what = "";
  switch (e.kind) {
    case CsvErrorKind::kUnclosedQuote: what = "the quoted field is never closed"; break;
    case CsvErrorKind::kStrayQuote:
      what = "a quote inside an unquoted field (quote the whole field and double the quote)";
      break;
    case CsvErrorKind::kTextAfterQuote: what = "text after the closing quote"; break;
    case CsvErrorKind::kRecordTooLong:  // skipped, never an error here
    case CsvErrorKind::kMissingField:
    case CsvErrorKind::kReadFailed:
    case CsvErrorKind::kNone: return e.message;
  }
  return std::to_string(e.foundLine) + ": column " + std::to_string(e.field) + ": " + what;
}

// The rows of the CSV checked and written to the table, the errors counted.
class RowWriter {
 public:
  RowWriter(CliIo& io, TableFile& table, std::string where) : m_io(io), m_table(table), m_where(std::move(where)) {}

  // Takes one record as read; false once writing has failed (reported).
  bool Take(const CsvRecord& row) {
    if (row.blank()) return true;  // empty lines are skipped
    if (++m_records == 1 && !row.overLong() && IsHeader(row)) {
      m_headerLine = row.line();
      return true;
    }
    if (row.overLong()) {
      Report(std::to_string(row.line()) + ": more than " + std::to_string(kMaxRecordBytes) +
             " bytes in the row; no valid row comes near that");
      return true;
    }
    if (row.size() != kColumnCount) {
      Report(std::to_string(row.line()) + ": " + std::to_string(row.size()) +
             " fields, expected 5 (zipcode, province, district, locality, detail)");
      return true;
    }
    // The table is not written after an error: no use writing rows.
    if (!CheckValues(row) || m_errors > 0) return true;
    return WriteRow();
  }

  void Report(const std::string& message) {
    if (++m_errors <= kMaxReportedErrors) m_io.Error(m_where + ":" + message + "\n");
  }

  std::size_t errors() const { return m_errors; }
  std::size_t rows() const { return m_rows; }
  std::size_t records() const { return m_records; }
  std::size_t headerLine() const { return m_headerLine; }

 private:
  bool CheckValues(const CsvRecord& row) {
    bool ok = true;
    for (std::size_t i = 0; i < kColumnCount; ++i) {
      const std::string why = CheckValue(row[i].value, i, m_values[i]);
      if (!why.empty()) {
        Report(std::to_string(row.line()) + ": column " + std::to_string(i + 1) + " (" +
               ZipFieldName(static_cast<ZipField>(i)) + "): " + why);
        ok = false;
      }
    }
    return ok;
  }

  bool WriteRow() {
    ++m_rows;
    if (m_rows > 0xFFFFFFFFu) {
      m_io.Error(m_where + ": more rows than a dBASE table can count\n");
      return false;
    }
    m_record.zipCode = m_values[0];
    m_record.province = m_values[1];
    m_record.district = m_values[2];
    m_record.locality = m_values[3];
    m_record.detail = m_values[4];
    m_body.clear();
    ZipTableWriter::AppendRecord(m_record, m_rows, m_body);
    std::string error;
    if (m_table.Write(m_body, error)) return true;
    m_io.Error("jasokit zipdb: " + error + "\n");
    return false;
  }

  CliIo& m_io;
  TableFile& m_table;
  std::string m_where;
  std::size_t m_records = 0;
  std::size_t m_headerLine = 0;
  std::size_t m_rows = 0;
  std::size_t m_errors = 0;
  std::string m_values[kColumnCount];
  ZipRecord m_record;
  std::string m_body;
};

// Opens the CSV (unless it is standard input) and the table; 0 or the exit status.
int OpenFiles(const std::string& csvPath, bool fromStdin, const std::string& outPath, InputFile& file, TableFile& table,
              CliIo& io) {
  std::string error;
  if (!fromStdin && !file.Open(csvPath, error)) {
    io.Error("jasokit zipdb: " + error + "\n");
    return kExitDataError;
  }
  if (const TableFileStatus status = table.Open(outPath, fromStdin ? nullptr : &file.id(), error);
      status != TableFileStatus::Ok) {
    io.Error("jasokit zipdb: " + error + "\n");
    return ExitCodeOf(status);
  }
  return kExitOk;
}

// After the last row: the errors of the reading and of the rows, or a CSV
// that made no rows; 0 when the table is to be committed.
int CheckRead(const CsvReader& reader, const ByteSource& source, RowWriter& rows, const std::string& csvPath,
              bool fromStdin, const std::string& where, const std::string& outPath, CliIo& io) {
  if (reader.error().kind == CsvErrorKind::kReadFailed) {
    const std::string why = source.error();
    io.Error("jasokit zipdb: error reading " + (fromStdin ? std::string("standard input") : csvPath) +
             (why.empty() ? std::string() : ": " + why) + "\n");
    return kExitDataError;
  }
  std::size_t errors = rows.errors();
  if (reader.error()) {
    io.Error(where + ":" + SyntaxError(reader.error()) + "\n");
    ++errors;
  }
  if (errors > 0) {
    if (errors > kMaxReportedErrors) {
      io.Error("jasokit zipdb: " + std::to_string(errors - kMaxReportedErrors) + " more errors not shown\n");
    }
    io.Error("jasokit zipdb: " + outPath + " not written\n");
    return kExitDataError;
  }
  if (rows.rows() == 0 && rows.records() > 0) {
    // Something was there but no row came of it: likely a CSV of another
    // shape, not a wish for an empty table.
    io.Error(where + ":" + std::to_string(rows.headerLine()) + ": a header row and no rows after it; " + outPath +
             " not written\n");
    return kExitUsage;
  }
  return kExitOk;
}

// Ends the table and puts it in place, with a warning for a table the
// programs would not read whole.
int Finish(TableFile& table, const ZipTableWriter& writer, std::size_t rows, bool sample, CliIo& io) {
  std::string error;
  if (!table.Write(std::string(1, ZipTableWriter::kEndOfFile), error)) {
    io.Error("jasokit zipdb: " + error + "\n");
    return kExitDataError;
  }
  std::string header = writer.Header(static_cast<std::uint32_t>(rows));
  if (sample) MarkZipTableSample(header);
  if (const TableFileStatus status = table.Commit(header, error); status != TableFileStatus::Ok) {
    io.Error("jasokit zipdb: " + error + "\n");
    return ExitCodeOf(status);
  }
  if (rows == 0) {
    io.Error("jasokit zipdb: warning: the CSV holds no rows; the table written is empty\n");
  } else if (rows > kZipRecordCount) {
    io.Error("jasokit zipdb: warning: " + std::to_string(rows) +
             " rows written; the programs read only the first 44,338\n");
  }
  return kExitOk;
}

int Build(const std::string& csvPath, const std::string& outPath, bool sample, CliIo& io) {
  const bool fromStdin = csvPath == "-";
  const std::string where = "jasokit zipdb: " + (fromStdin ? std::string("<stdin>") : csvPath);
  InputFile file;
  TableFile table;
  if (const int status = OpenFiles(csvPath, fromStdin, outPath, file, table, io)) return status;
  const ZipTableWriter writer(UpdateDate());
  // The real count goes in once it is known.
  std::string error;
  if (!table.Write(writer.Header(0), error)) {
    io.Error("jasokit zipdb: " + error + "\n");
    return kExitDataError;
  }

  ByteSource source = fromStdin ? ByteSource(io) : ByteSource(file);
  CsvReader reader([&source](char* buffer, std::size_t size) { return source.Read(buffer, size); }, kMaxRecordBytes,
                   kCsvCrEndsLines | kCsvSkipOverLong);
  CsvRecord row;
  RowWriter rows(io, table, where);
  while (reader.Next(row)) {
    if (!rows.Take(row)) return kExitDataError;
  }
  if (const int status = CheckRead(reader, source, rows, csvPath, fromStdin, where, outPath, io)) return status;
  return Finish(table, writer, rows.rows(), sample, io);
}

enum ZipDbOption : std::size_t { kOptOutput, kOptSample };
constexpr OptionRule kZipDbOptions[] = {
    {kOptOutput, "--output", "-o", "a FILE"},
    {kOptSample, "--sample", nullptr, nullptr},
};
static_assert(InIdOrder(kZipDbOptions));

int RunZipDb(const ParsedArgs& parsed, CliIo& io) {
  if (parsed.operands.size() > 1) return UsageError(io, "zipdb", "more than one CSV given");
  const std::string* out = parsed.Value(kOptOutput);
  if (parsed.operands.empty() || !out) {
    return UsageError(io, "zipdb", std::string("build needs ") + (parsed.operands.empty() ? "a CSV" : "-o FILE"));
  }
  if (out->empty()) {
    io.Error("jasokit zipdb: the output FILE is empty\n");
    return kExitUsage;
  }
  return Build(*parsed.operands[0], *out, parsed.Has(kOptSample), io);
}

}  // namespace

constexpr Command kZipDbCommand =
    MakeCommand("zipdb", "build the zip code table from a CSV file", kZipDbHelp, kZipDbOptions, RunZipDb, "build");

}  // namespace jasokit::cli

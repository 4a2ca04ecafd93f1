#pragma once
// RFC 4180 CSV for `jasokit convert --csv`: a streaming reader that keeps every
// record's bytes as they were read, and the writing of a record with one field
// added or replaced.
//
// Our own code rather than Debian's libcsv (libcsv-dev) or fccp (libfccp-dev):
// libcsv streams but hands over decoded fields only, with no raw bytes, no line
// numbers and no bound on a field's buffer, and takes a lone CR for a line end;
// fccp reads line by line and cannot give back the bytes either. Exact
// reproduction of untouched fields needs the raw bytes, so a small state machine
// here is simpler than rebuilding them around a library.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace jasokit::cli {

// A record whose bytes (line end excluded) pass this is refused, never held whole.
constexpr std::size_t kCsvMaxRecordBytes = std::size_t{1} << 20;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

enum class CsvErrorKind {
  kNone,
  kUnclosedQuote,   // a quoted field runs to the end of the input
  kStrayQuote,      // a quote inside an unquoted field
  kTextAfterQuote,  // anything but a comma or a line end after a closing quote
  kRecordTooLong,
  kMissingField,  // the record has no field at the chosen position
  kReadFailed,
};

struct CsvError {
  CsvErrorKind kind = CsvErrorKind::kNone;
  std::size_t line = 0;       // physical line (1-based) where the record starts
  std::size_t foundLine = 0;  // where the fault was found; may be later
  std::size_t field = 0;      // 1-based, 0 when the fault is not in one field
  std::string message;        // "line 7: ..." in English, no trailing newline

  explicit operator bool() const { return kind != CsvErrorKind::kNone; }
};

struct CsvField {
  std::string_view raw;    // as in the file, quotes included
  std::string_view value;  // quotes removed, doubled quotes made single
};

// One record as read. Written back as prefix() + raw() + terminator() it gives
// the input bytes it came from.
class CsvRecord {
 public:
  // A blank line has no fields (not one empty field), so that it can pass
  // through unchanged.
  std::size_t size() const { return m_fields.size(); }
  bool blank() const { return m_fields.empty() && !m_overLong; }
  CsvField operator[](std::size_t i) const;

  std::string_view raw() const { return m_raw; }                // fields and commas
  std::string_view terminator() const { return m_terminator; }  // "\n", "\r\n", "\r" or ""
  // Passed the limit under kCsvSkipOverLong: no fields, no bytes.
  bool overLong() const { return m_overLong; }
  std::string_view prefix() const { return m_bom ? kUtf8Bom : std::string_view(); }
  std::size_t line() const { return m_line; }

 private:
  friend class CsvReader;
  friend bool AppendCsvRecord(const CsvRecord&, std::string_view, std::size_t, std::string&);
  struct Span {
    std::size_t rawBegin, rawEnd, valueBegin, valueEnd;
  };
  void Clear();

  std::string m_raw;
  std::string m_values;  // every field's value, one after another
  std::vector<Span> m_fields;
  std::string_view m_terminator;
  bool m_bom = false;    // a UTF-8 byte order mark came before this (the first) record
  bool m_first = false;  // the file's first record
  bool m_overLong = false;
  std::size_t m_line = 0;
};

// Reads records from a pull function like CliIo::Read (up to size bytes into
// buffer; 0 at the end, -1 on error), one read buffer and one record in memory.
//
// Line ends are LF or CRLF and may differ from record to record. Inside
// quotes, commas, quotes (doubled) and line breaks are data. A CR not followed
// by LF outside quotes is data as well: taking it for a line end would change
// how the file splits into records of a file meant to be given back byte for
// byte. Line numbers count LFs only, for the same reason. kCsvCrEndsLines
// makes a lone CR a line end too (old Mac files), counted as one.
enum CsvReaderFlag : unsigned {
  kCsvCrEndsLines = 1,
  // A record past the limit is read to its end and handed over as overLong(),
  // its bytes dropped, and reading goes on; without it the reading stops.
  kCsvSkipOverLong = 2,
};

class CsvReader {
 public:
  using Pull = std::function<long(char* buffer, std::size_t size)>;

  explicit CsvReader(Pull pull, std::size_t maxRecordBytes = kCsvMaxRecordBytes, unsigned flags = 0);

  // Fills record with the next one; false at the end of the input or on an
  // error, which error() then describes. Every error ends the reading.
  bool Next(CsvRecord& record);

  // Asked before each read that may wait (the buffer is empty): when it
  // says so, Next returns false with paused() set, and the next call goes
  // on with the same record, which must be passed again untouched.
  void SetPause(std::function<bool()> pause) { m_pause = std::move(pause); }
  bool paused() const { return m_paused; }

  const CsvError& error() const { return m_error; }
  // Whether bytes read are waiting in the buffer, not yet in a record.
  bool buffered() const { return m_pos < m_end; }
  // Input bytes of the records returned so far, BOM included.
  std::uint64_t consumed() const { return m_consumed; }

 private:
  enum class State { kFieldStart, kUnquoted, kQuoted, kQuoteInQuoted, kCr, kCrAfterQuote };
  // What one step of the state machine leaves Next to do.
  enum class Step { kGoOn, kRecord, kStop };

  void StartRecord(CsvRecord& record);
  bool ReadBom(CsvRecord& record);
  bool AtInputEnd(CsvRecord& record);
  static Step Stop(bool recordReady);
  Step Advance(CsvRecord& record);
  Step AtFieldEnd(CsvRecord& record, char c, State afterCr);
  Step AtFieldStart(CsvRecord& record);
  Step InUnquoted(CsvRecord& record);
  Step AfterCr(CsvRecord& record);
  Step InQuoted(CsvRecord& record);
  Step AfterQuote(CsvRecord& record);
  Step AfterCrAfterQuote(CsvRecord& record);
  static void OpenField(CsvRecord& record);
  static bool FieldOpen(const CsvRecord& record);
  static void EnsureField(CsvRecord& record);
  bool Comma(CsvRecord& record);
  bool KeepCr(CsvRecord& record);
  bool Fill(std::size_t want);
  void CountLines(const char* bytes, std::size_t n);
  bool Append(CsvRecord& record, const char* bytes, std::size_t n, bool value);
  bool Fail(CsvErrorKind kind, const CsvRecord& record, std::size_t foundLine);
  bool EndRecord(CsvRecord& record, std::string_view terminator);

  Pull m_pull;
  std::size_t m_max;
  unsigned m_flags;
  std::function<bool()> m_pause;
  bool m_paused = false;
  State m_state = State::kFieldStart;  // of the record being read, kept over a pause
  std::size_t m_quoteLine = 0;         // where the open quoted field began
  bool m_lastCr = false;               // the last byte counted was a CR, whose LF would end no second line
  std::size_t m_recordBytes = 0;       // of the record being read, those dropped included
  std::unique_ptr<char[]> m_buffer;    // input read, unread bytes in [m_pos, m_end)
  std::size_t m_pos = 0;
  std::size_t m_end = 0;
  bool m_eof = false;
  bool m_started = false;  // BOM looked for
  bool m_done = false;
  std::size_t m_line = 1;
  std::uint64_t m_consumed = 0;
  CsvError m_error;
};

// The error for a record that has no field at 0-based index.
CsvError MissingFieldError(const CsvRecord& record, std::size_t index);

// The 0-based index of the first field whose value is name, or npos.
std::size_t FindCsvField(const CsvRecord& header, std::string_view name);

// Appends value as one field, in quotes exactly when it holds a comma, a quote,
// CR or LF, its quotes doubled.
void AppendCsvField(std::string_view value, std::string& out);

// Appends the record as it was read.
void AppendCsvRecord(const CsvRecord& record, std::string& out);

constexpr std::size_t kCsvAppendField = static_cast<std::size_t>(-1);

// Appends the record with text as a new last field (at == kCsvAppendField) or
// in place of the field at 0-based index at; every other byte as read. The
// text is written as AppendCsvField does, but also quoted when it would start
// the file with the bytes of a BOM. A blank record goes out unchanged. False,
// with nothing appended, when the record has no field at.
bool AppendCsvRecord(const CsvRecord& record, std::string_view text, std::size_t at, std::string& out);

}  // namespace jasokit::cli

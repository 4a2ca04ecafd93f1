#include "frontend/csv.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace jasokit::cli {

namespace {

constexpr std::size_t kReadBytes = std::size_t{1} << 16;
constexpr std::size_t kOpen = static_cast<std::size_t>(-1);  // a field's end not seen yet

std::string CsvErrorMessage(CsvErrorKind kind, std::size_t line, std::size_t foundLine, std::size_t field,
                            std::size_t maxRecordBytes) {
  const bool elsewhere = foundLine != line;
  const std::string found = std::to_string(foundLine);
  const std::string on = elsewhere ? " on line " + found : std::string();
  std::string text = "line " + std::to_string(line) + ": ";
  switch (kind) {
    case CsvErrorKind::kUnclosedQuote:
      text += elsewhere ? "the quoted field opened on line " + found + " is never closed"
                        : "the quoted field opened here is never closed";
      break;
    case CsvErrorKind::kStrayQuote:
      text += "a quote" + on + " inside unquoted field " + std::to_string(field) +
              " (quote the whole field and double its quotes)";
      break;
    case CsvErrorKind::kTextAfterQuote:
      text += "text" + on + " after the closing quote of field " + std::to_string(field);
      break;
    case CsvErrorKind::kRecordTooLong:
      text += "the record is longer than " + std::to_string(maxRecordBytes) + " bytes";
      if (elsewhere) text += " (passed on line " + found + ")";
      break;
    case CsvErrorKind::kReadFailed: text += "the input could not be read"; break;
    case CsvErrorKind::kMissingField:  // made by MissingFieldError
    case CsvErrorKind::kNone: break;
  }
  return text;
}

}  // namespace

CsvField CsvRecord::operator[](std::size_t i) const {
  const Span& s = m_fields[i];
  const std::string_view raw = m_raw;
  const std::string_view values = m_values;
  return {raw.substr(s.rawBegin, s.rawEnd - s.rawBegin), values.substr(s.valueBegin, s.valueEnd - s.valueBegin)};
}

void CsvRecord::Clear() {
  m_raw.clear();
  m_values.clear();
  m_fields.clear();
  m_terminator = {};
  m_bom = false;
  m_first = false;
  m_overLong = false;
  m_line = 0;
}

CsvReader::CsvReader(Pull pull, std::size_t maxRecordBytes, unsigned flags)
    : m_pull(std::move(pull)), m_max(maxRecordBytes), m_flags(flags) {}

bool CsvReader::Fill(std::size_t want) {
  // The buffer is allocated once; what is left unread moves to its front.
  if (!m_buffer) m_buffer.reset(new char[kReadBytes]);  // not zeroed: read into first
  m_end -= m_pos;
  std::memmove(m_buffer.get(), m_buffer.get() + m_pos, m_end);
  m_pos = 0;
  while (m_end < want && !m_eof) {
    const long got = m_pull(m_buffer.get() + m_end, kReadBytes - m_end);
    if (got < 0) return false;
    if (got == 0) m_eof = true;
    m_end += static_cast<std::size_t>(got);
  }
  return true;
}

void CsvReader::CountLines(const char* bytes, std::size_t n) {
  if (!(m_flags & kCsvCrEndsLines)) {
    m_line += static_cast<std::size_t>(std::count(bytes, bytes + n, '\n'));
    return;
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (bytes[i] == '\r' || (bytes[i] == '\n' && !m_lastCr)) ++m_line;
    m_lastCr = bytes[i] == '\r';
  }
}

// Adds bytes to the record's raw text (and to the open field's value), keeping
// the line count; fails once the record passes the limit, unless such a
// record is to be skipped: then its bytes are only counted from there on.
bool CsvReader::Append(CsvRecord& record, const char* bytes, std::size_t n, bool value) {
  const std::size_t room = record.m_overLong ? 0 : m_max - record.m_raw.size();
  if (n > room) {
    if (!(m_flags & kCsvSkipOverLong)) {
      CountLines(bytes, room);
      return Fail(CsvErrorKind::kRecordTooLong, record, m_line);
    }
    if (!record.m_overLong) {
      record.m_overLong = true;
      record.m_raw.clear();
      record.m_values.clear();
    }
    CountLines(bytes, n);
    m_recordBytes += n;
    return true;
  }
  CountLines(bytes, n);
  m_recordBytes += n;
  record.m_raw.append(bytes, n);
  if (value) record.m_values.append(bytes, n);
  return true;
}

bool CsvReader::Fail(CsvErrorKind kind, const CsvRecord& record, std::size_t foundLine) {
  m_error.kind = kind;
  m_error.line = record.m_line;
  m_error.foundLine = foundLine;
  m_error.field = record.m_fields.size();
  m_error.message = CsvErrorMessage(kind, record.m_line, foundLine, m_error.field, m_max);
  m_done = true;
  return false;
}

bool CsvReader::EndRecord(CsvRecord& record, std::string_view terminator) {
  if (!record.m_fields.empty() && record.m_fields.back().rawEnd == kOpen) {
    record.m_fields.back().rawEnd = record.m_raw.size();
    record.m_fields.back().valueEnd = record.m_values.size();
  }
  if (record.m_overLong) record.m_fields.clear();
  record.m_terminator = terminator;
  if (!terminator.empty()) ++m_line;
  m_lastCr = false;
  m_consumed += record.prefix().size() + m_recordBytes + terminator.size();
  return true;
}

void CsvReader::StartRecord(CsvRecord& record) {
  record.m_line = m_line;
  m_recordBytes = 0;
  m_lastCr = false;
  m_state = State::kFieldStart;
  m_quoteLine = 0;
}

bool CsvReader::ReadBom(CsvRecord& record) {
  m_started = true;
  record.m_first = true;
  // Waits for the whole BOM only when its first byte is there: a line
  // typed on a terminal is answered without more.
  if (!Fill(1) || (m_end > 0 && m_buffer[0] == kUtf8Bom[0] && !Fill(kUtf8Bom.size()))) {
    return Fail(CsvErrorKind::kReadFailed, record, m_line);
  }
  if (std::string_view(m_buffer.get(), m_end).substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    record.m_bom = true;
    m_pos = kUtf8Bom.size();
  }
  return true;
}

bool CsvReader::Next(CsvRecord& record) {
  if (m_paused) {
    // The same record goes on where it stopped.
    m_paused = false;
  } else {
    record.Clear();
    if (m_done) return false;
    StartRecord(record);
  }
  if (!m_started && !ReadBom(record)) return false;
  for (;;) {
    if (m_pos == m_end) {
      if (m_pause && !m_eof && m_pause()) {
        m_paused = true;
        return false;
      }
      if (!Fill(1)) return Fail(CsvErrorKind::kReadFailed, record, m_line);
      if (m_end == 0) return AtInputEnd(record);
    }
    const Step step = Advance(record);
    if (step != Step::kGoOn) return step == Step::kRecord;
  }
}

void CsvReader::OpenField(CsvRecord& record) {
  auto& fields = record.m_fields;
  const CsvRecord::Span span{record.m_raw.size(), kOpen, record.m_values.size(), kOpen};
  // Fields past the limit are not kept: one stands for them all.
  if (record.m_overLong && !fields.empty()) {
    fields.back() = span;
  } else {
    fields.push_back(span);
  }
}

bool CsvReader::FieldOpen(const CsvRecord& record) {
  return !record.m_fields.empty() && record.m_fields.back().rawEnd == kOpen;
}

void CsvReader::EnsureField(CsvRecord& record) {
  if (!FieldOpen(record)) OpenField(record);
}

// Ends the open field at a comma and opens the next.
bool CsvReader::Comma(CsvRecord& record) {
  EnsureField(record);
  record.m_fields.back().rawEnd = record.m_raw.size();
  record.m_fields.back().valueEnd = record.m_values.size();
  ++m_pos;
  if (!Append(record, ",", 1, false)) return false;
  OpenField(record);
  return true;
}

// A CR outside quotes that turned out to be data.
bool CsvReader::KeepCr(CsvRecord& record) {
  EnsureField(record);
  return Append(record, "\r", 1, true);
}

bool CsvReader::AtInputEnd(CsvRecord& record) {
  const bool crEnds = (m_flags & kCsvCrEndsLines) != 0;
  switch (m_state) {
    case State::kFieldStart:
      if (record.m_fields.empty() && !record.m_bom) {
        m_done = true;
        return false;
      }
      return EndRecord(record, "");
    case State::kCr:
      if (crEnds) return EndRecord(record, "\r");
      if (!KeepCr(record)) return false;
      return EndRecord(record, "");
    case State::kUnquoted:
    case State::kQuoteInQuoted: return EndRecord(record, "");
    case State::kQuoted: return Fail(CsvErrorKind::kUnclosedQuote, record, m_quoteLine);
    case State::kCrAfterQuote:
      if (crEnds) return EndRecord(record, "\r");
      return Fail(CsvErrorKind::kTextAfterQuote, record, m_line);
  }
  return false;
}

CsvReader::Step CsvReader::Stop(bool recordReady) { return recordReady ? Step::kRecord : Step::kStop; }

CsvReader::Step CsvReader::Advance(CsvRecord& record) {
  switch (m_state) {
    case State::kFieldStart: return AtFieldStart(record);
    case State::kUnquoted: return InUnquoted(record);
    case State::kCr: return AfterCr(record);
    case State::kQuoted: return InQuoted(record);
    case State::kQuoteInQuoted: return AfterQuote(record);
    case State::kCrAfterQuote: return AfterCrAfterQuote(record);
  }
  return Step::kStop;
}

// A LF or CR ending the record, or a comma, after a field or at its start.
CsvReader::Step CsvReader::AtFieldEnd(CsvRecord& record, char c, State afterCr) {
  if (c == '\n') {
    ++m_pos;
    return Stop(EndRecord(record, "\n"));
  }
  if (c == '\r') {
    ++m_pos;
    m_state = afterCr;
    return Step::kGoOn;
  }
  if (!Comma(record)) return Step::kStop;
  m_state = State::kFieldStart;
  return Step::kGoOn;
}

CsvReader::Step CsvReader::AtFieldStart(CsvRecord& record) {
  const char* p = m_buffer.get() + m_pos;
  const char c = *p;
  if (c == '\n' || c == '\r' || c == ',') return AtFieldEnd(record, c, State::kCr);
  EnsureField(record);
  if (c != '"') {
    m_state = State::kUnquoted;
    return Step::kGoOn;
  }
  ++m_pos;
  m_quoteLine = m_line;
  if (!Append(record, p, 1, false)) return Step::kStop;
  m_state = State::kQuoted;
  return Step::kGoOn;
}

CsvReader::Step CsvReader::InUnquoted(CsvRecord& record) {
  const char* p = m_buffer.get() + m_pos;
  const char* end = m_buffer.get() + m_end;
  const char* q = p;
  while (q < end && *q != ',' && *q != '\n' && *q != '\r' && *q != '"') ++q;
  if (q > p) {
    if (!Append(record, p, static_cast<std::size_t>(q - p), true)) return Step::kStop;
    m_pos += static_cast<std::size_t>(q - p);
    return Step::kGoOn;
  }
  if (*p == '"') return Stop(Fail(CsvErrorKind::kStrayQuote, record, m_line));
  return AtFieldEnd(record, *p, State::kCr);
}

// A CR outside quotes, not yet known to end the line.
CsvReader::Step CsvReader::AfterCr(CsvRecord& record) {
  if (m_buffer[m_pos] == '\n') {
    ++m_pos;
    return Stop(EndRecord(record, "\r\n"));
  }
  if (m_flags & kCsvCrEndsLines) return Stop(EndRecord(record, "\r"));
  if (!KeepCr(record)) return Step::kStop;
  m_state = State::kUnquoted;
  return Step::kGoOn;
}

CsvReader::Step CsvReader::InQuoted(CsvRecord& record) {
  const char* p = m_buffer.get() + m_pos;
  const char* end = m_buffer.get() + m_end;
  const void* quote = std::memchr(p, '"', static_cast<std::size_t>(end - p));
  const char* q = quote ? static_cast<const char*>(quote) : end;
  if (q > p) {
    if (!Append(record, p, static_cast<std::size_t>(q - p), true)) return Step::kStop;
    m_pos += static_cast<std::size_t>(q - p);
    return Step::kGoOn;
  }
  ++m_pos;
  if (!Append(record, p, 1, false)) return Step::kStop;
  m_state = State::kQuoteInQuoted;
  return Step::kGoOn;
}

// The quote just read closes the field or starts a doubled one.
CsvReader::Step CsvReader::AfterQuote(CsvRecord& record) {
  const char* p = m_buffer.get() + m_pos;
  const char c = *p;
  if (c == '"') {
    ++m_pos;
    if (!Append(record, p, 1, false)) return Step::kStop;
    if (!record.m_overLong) record.m_values += '"';
    m_state = State::kQuoted;
    return Step::kGoOn;
  }
  if (c == '\n' || c == '\r' || c == ',') return AtFieldEnd(record, c, State::kCrAfterQuote);
  return Stop(Fail(CsvErrorKind::kTextAfterQuote, record, m_line));
}

CsvReader::Step CsvReader::AfterCrAfterQuote(CsvRecord& record) {
  if (m_buffer[m_pos] != '\n') {
    if (m_flags & kCsvCrEndsLines) return Stop(EndRecord(record, "\r"));
    return Stop(Fail(CsvErrorKind::kTextAfterQuote, record, m_line));
  }
  ++m_pos;
  return Stop(EndRecord(record, "\r\n"));
}

CsvError MissingFieldError(const CsvRecord& record, std::size_t index) {
  CsvError e;
  e.kind = CsvErrorKind::kMissingField;
  e.line = record.line();
  e.foundLine = record.line();
  e.field = index + 1;
  e.message = "line " + std::to_string(record.line()) + ": no field " + std::to_string(index + 1) +
              " (the record has " + std::to_string(record.size()) + ")";
  return e;
}

std::size_t FindCsvField(const CsvRecord& header, std::string_view name) {
  for (std::size_t i = 0; i < header.size(); ++i) {
    if (header[i].value == name) return i;
  }
  return std::string_view::npos;
}

namespace {

void AppendQuoted(std::string_view value, std::string& out) {
  out += '"';
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

void AppendCsvField(std::string_view value, std::string& out) {
  // A plain loop: find_first_of looks each byte up in the set with a call.
  const bool plain =
      std::none_of(value.begin(), value.end(), [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; });
  if (plain) {
    out += value;
  } else {
    AppendQuoted(value, out);
  }
}

void AppendCsvRecord(const CsvRecord& record, std::string& out) {
  out += record.prefix();
  out += record.raw();
  out += record.terminator();
}

bool AppendCsvRecord(const CsvRecord& record, std::string_view text, std::size_t at, std::string& out) {
  if (record.blank()) {
    AppendCsvRecord(record, out);
    return true;
  }
  const std::string_view raw = record.raw();
  std::size_t cut = raw.size();     // raw bytes kept before the new field
  std::size_t resume = raw.size();  // and from where they go on after it
  if (at != kCsvAppendField) {
    if (at >= record.size()) return false;
    const std::string_view field = record[at].raw;
    cut = static_cast<std::size_t>(field.data() - raw.data());
    resume = cut + field.size();
  }
  out += record.prefix();
  out += raw.substr(0, cut);
  if (at == kCsvAppendField) out += ',';
  // Unquoted there, the bytes would be taken for a BOM when read again.
  if (at == 0 && record.m_first && !record.m_bom && text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    AppendQuoted(text, out);
  } else {
    AppendCsvField(text, out);
  }
  out += raw.substr(resume);
  out += record.terminator();
  return true;
}

}  // namespace jasokit::cli

#include "cli/csv_reader.h"

#include <errno.h>
#include <unistd.h>

#include <cstring>

namespace jasokit::cli {

long ByteSource::Read(char* buffer, std::size_t size) {
  if (m_io) return m_io->Read(buffer, size);
  for (;;) {
    const ssize_t got = ::read(m_fd, buffer, size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) m_errno = errno;
    return static_cast<long>(got);
  }
}

CsvReader::CsvReader(ByteSource& source, std::size_t maxRecordBytes)
    : m_source(source), m_limit(maxRecordBytes), m_buffer(new char[kBufferBytes]) {}

bool CsvReader::Fill() {
  if (m_eof) return false;
  if (m_pos > 0) {
    std::memmove(m_buffer.get(), m_buffer.get() + m_pos, m_size - m_pos);
    m_size -= m_pos;
    m_pos = 0;
  }
  const long got = m_source.Read(m_buffer.get() + m_size, kBufferBytes - m_size);
  if (got <= 0) {
    m_eof = true;
    m_failed = got < 0;
    return false;
  }
  m_size += static_cast<std::size_t>(got);
  return true;
}

bool CsvReader::Ensure(std::size_t n) {
  while (m_size - m_pos < n) {
    if (!Fill()) return false;
  }
  return true;
}

void CsvReader::Count(CsvRow& row) {
  if (++m_recordBytes > m_limit && !row.overLong) {
    row.overLong = true;
    row.fields.clear();
  }
}

void CsvReader::Keep(CsvRow& row, int c) {
  Count(row);
  if (!row.overLong) row.fields.back() += static_cast<char>(c);
}

void CsvReader::Fail(std::size_t line, const char* what) {
  m_error = std::to_string(line) + ": column " + std::to_string(m_column) + ": " + what;
}

bool CsvReader::Next(CsvRow& row) {
  if (!m_started) {
    m_started = true;
    if (Ensure(3) && std::memcmp(m_buffer.get() + m_pos, "\xEF\xBB\xBF", 3) == 0) m_pos += 3;
  }
  for (;;) {
    const int c = Peek();
    if (c == kEnd) return false;
    if (c != '\n' && c != '\r') break;
    Get();
    if (c == '\r' && Peek() == '\n') Get();
    ++m_line;
  }
  row.line = m_line;
  row.fields.clear();
  row.overLong = false;
  m_column = 0;
  m_recordBytes = 0;
  for (;;) {
    ++m_column;
    if (!row.overLong) row.fields.emplace_back();
    if (!ReadField(row)) return false;
    const int c = Get();
    if (c == ',') {
      Count(row);
      continue;
    }
    if (c == '\r' && Peek() == '\n') Get();
    if (c != kEnd) ++m_line;
    return !m_failed;
  }
}

bool CsvReader::ReadField(CsvRow& row) {
  if (Peek() != '"') {
    for (;;) {
      const int c = Peek();
      if (c == kEnd || c == ',' || c == '\n' || c == '\r') return true;
      if (c == '"') {
        Fail(m_line, "a quote inside an unquoted field (quote the whole field and double the quote)");
        return false;
      }
      Get();
      Keep(row, c);
    }
  }
  const std::size_t startLine = m_line;
  Get();
  Count(row);
  for (;;) {
    const int c = Get();
    if (c == kEnd) {
      if (!m_failed) Fail(startLine, "the quoted field is never closed");
      return false;
    }
    if (c == '"') {
      Count(row);
      if (Peek() != '"') break;
      Get();
      Keep(row, c);
      continue;
    }
    // Line ends inside the field are part of it; CR LF counts as one.
    if (c == '\n' || (c == '\r' && Peek() != '\n')) ++m_line;
    Keep(row, c);
  }
  const int next = Peek();
  if (next == kEnd || next == ',' || next == '\n' || next == '\r') return true;
  Fail(m_line, "text after the closing quote");
  return false;
}

}  // namespace jasokit::cli

#pragma once
// RFC 4180 records read as they come, one at a time, so that a CSV of any
// size costs the memory of one record; a record past its limit is read to
// its end but not kept.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace jasokit::cli {

// Standard input through CliIo, or an open file.
class ByteSource {
 public:
  explicit ByteSource(CliIo& io) : m_io(&io) {}
  explicit ByteSource(int fd) : m_fd(fd) {}
  // Up to size bytes; 0 at the end, -1 on an error.
  long Read(char* buffer, std::size_t size);
  // The error of a file, 0 for standard input.
  int error() const { return m_errno; }

 private:
  CliIo* m_io = nullptr;
  int m_fd = -1;
  int m_errno = 0;
};

struct CsvRow {
  std::size_t line = 0;  // where the record starts
  std::vector<std::string> fields;
  bool overLong = false;  // longer than the limit: fields are not kept
};

class CsvReader {
 public:
  // maxRecordBytes: the longest record kept, counted from its first byte to
  // its line end, quotes and separators included.
  CsvReader(ByteSource& source, std::size_t maxRecordBytes);

  // The next record; empty lines are skipped. A UTF-8 byte order mark at the
  // start is dropped. Lines end in LF, CR LF or CR. False at the end, on a
  // syntax error (error() is set) or a read error (readFailed()).
  bool Next(CsvRow& row);

  const std::string& error() const { return m_error; }
  bool readFailed() const { return m_failed; }

 private:
  static constexpr int kEnd = -1;
  int Peek() { return m_pos < m_size || Fill() ? static_cast<unsigned char>(m_buffer[m_pos]) : kEnd; }
  int Get() {
    const int c = Peek();
    if (c != kEnd) ++m_pos;
    return c;
  }
  bool Fill();
  // Makes at least n bytes readable at m_pos, unless the input ends first.
  bool Ensure(std::size_t n);
  void Keep(CsvRow& row, int c);
  void Count(CsvRow& row);
  bool ReadField(CsvRow& row);
  void Fail(std::size_t line, const char* what);

  static constexpr std::size_t kBufferBytes = 1 << 16;
  ByteSource& m_source;
  std::size_t m_limit;
  std::unique_ptr<char[]> m_buffer;
  std::size_t m_pos = 0;
  std::size_t m_size = 0;
  bool m_eof = false;
  bool m_failed = false;
  bool m_started = false;
  std::size_t m_line = 1;
  std::size_t m_column = 0;
  std::size_t m_recordBytes = 0;
  std::string m_error;
};

}  // namespace jasokit::cli

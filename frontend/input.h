#pragma once
// Input texts without holding them whole. A text over its command's limit is
// refused whatever follows, so a line is never stored past that limit: it
// streams past and only what the decision needs is kept (the first bytes, a
// count, the state of the whitespace at its end). A line of gigabytes, or one
// that never ends, costs no more memory than a short one.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jasokit/convert.h"
#include "platform/platform.h"

namespace jasokit::cli {

// What a command tells when standard input cannot be read: a folder is
// named as a folder.
inline std::string InputReadError(CliIo& io, const char* command) {
  return std::string("jasokit ") + command +
         (io.InputIsFolder() ? ": standard input is a folder, not a file\n" : ": error reading standard input\n");
}

// Reads standard input line by line; a line ends at LF, which is not part of
// it (a CR before it is). Each line reaches its reader in pieces, as read.
class LineReader {
 public:
  explicit LineReader(CliIo& io);

  // Feeds the next line to line.Append, piece by piece; false at the end of
  // input, or on a read error (the line read so far is then dropped).
  template <typename Line>
  bool Next(Line& line) {
    return Next(line, [] { return false; }) == Status::kLine;
  }

  enum class Status { kLine, kEnd, kPaused };
  // The same, asking pause() before each read that may wait: when it says
  // so, kPaused, and the next call goes on with the same line.
  template <typename Line, typename Pause>
  Status Next(Line& line, Pause pause) {
    std::string_view piece;
    for (;;) {
      if (m_pos == m_size && !m_eof && pause()) return Status::kPaused;
      switch (NextPiece(piece)) {
        case Piece::Bytes:
          m_partial = true;
          line.Append(piece);
          break;
        case Piece::LineEnd:
          m_partial = false;
          line.Append(piece);
          return Status::kLine;
        case Piece::InputEnd: {
          const bool last = m_partial && !m_failed;
          m_partial = false;
          return last ? Status::kLine : Status::kEnd;
        }
      }
    }
  }
  bool failed() const { return m_failed; }
  // Bytes of input handed out so far, line ends included.
  std::uint64_t consumed() const { return m_consumed; }
  // Whether bytes read are still waiting in the buffer.
  bool buffered() const { return m_pos < m_size; }

 private:
  enum class Piece { Bytes, LineEnd, InputEnd };
  Piece NextPiece(std::string_view& piece);

  static constexpr std::size_t kBufferBytes = 1 << 16;
  CliIo& m_io;
  std::unique_ptr<char[]> m_buffer;
  std::size_t m_pos = 0;
  std::size_t m_size = 0;
  bool m_eof = false;
  bool m_failed = false;
  bool m_partial = false;  // bytes of a line with no LF yet
  std::uint64_t m_consumed = 0;
};

// Whether bytes fed in pieces are valid UTF-8 (the rules of the converter's
// decoder: no overlong forms, surrogates or code points past U+10FFFF).
class Utf8Check {
 public:
  void Reset() { *this = Utf8Check(); }
  void Feed(std::string_view bytes);
  // A sequence cut off at the end is invalid.
  bool valid() const { return m_valid && m_need == 0; }

 private:
  unsigned m_need = 0;                        // continuation bytes still due
  unsigned char m_low = 0x80, m_high = 0xBF;  // the range of the next one
  bool m_valid = true;
};

// One input text of a command with a limit: the first bytes, and the size of
// the whole.
class HeldLine {
 public:
  enum Rule : unsigned {
    kStripCr = 1,    // a CR ending a line of standard input is not part of it
    kCutAtNul = 2,   // the text ends at its first NUL byte
    kCheckUtf8 = 4,  // tell whether the whole text is valid UTF-8
  };
  // limit: the longest text kept whole.
  HeldLine(std::size_t limit, unsigned rules);

  // A new text: a line of standard input, or an argument.
  void Start(bool line);
  void Append(std::string_view piece);

  std::size_t size() const;
  bool overLong() const { return size() > m_limit; }
  // The text, whole unless overLong().
  std::string_view text() const;
  bool sawNul() const { return m_ended; }
  bool validUtf8() const { return m_utf8.valid(); }

 private:
  std::size_t m_limit;
  unsigned m_rules;
  bool m_stripCr = false;
  std::string m_held;
  std::size_t m_size = 0;
  bool m_lastCr = false;
  bool m_ended = false;
  Utf8Check m_utf8;
};

// One text to convert, trimmed as it streams past by the conversion's rules:
// it ends at its first NUL byte; trailing single-byte whitespace is dropped,
// then leading, stepping over CP949 double-byte characters whole. Keeps the
// trimmed text while it is short enough to be converted, and its exact size
// whatever it is.
class TrimmedText {
 public:
  // cp949: the bytes are CP949 (else UTF-8, where no byte after a lead byte
  // is skipped: every byte of a UTF-8 character is 0x80 or more).
  explicit TrimmedText(bool cp949);

  void Start(bool line);
  void Append(std::string_view piece);

  // Bytes of the trimmed text.
  std::size_t size() const { return m_contentEnd; }
  // Surely refused: over 1024 CP949 bytes, or over 2048 UTF-8 bytes (no
  // character takes more than twice the UTF-8 bytes it counts for in CP949).
  bool overLong() const { return m_contentEnd > m_limit; }
  // The trimmed text, unless overLong().
  std::string_view text() const { return std::string_view(m_held).substr(0, m_contentEnd); }
  bool sawNul() const { return m_ended; }
  // Of the text before the NUL byte; UTF-8 only.
  bool validUtf8() const { return m_utf8.valid(); }

 private:
  bool m_cp949;
  std::size_t m_limit;
  std::string m_held;            // the text from its first non-whitespace byte, up to m_limit bytes
  std::size_t m_length = 0;      // bytes from the first non-whitespace byte
  std::size_t m_contentEnd = 0;  // the same, without the whitespace at the end
  bool m_started = false;
  bool m_trail = false;  // the next byte is the second of a double-byte character
  bool m_ended = false;
  Utf8Check m_utf8;
};

// Feeds each(where, number) every argument in texts, or every line of
// standard input when there are none ("argument 2", "line 3"), each first
// given to line (Start, then Append), stopping when each returns false; then
// flushes. False after reporting the read or write error.
template <typename Line, typename Each>
bool ForEachInput(const std::vector<const std::string*>& texts, CliIo& io, const char* command, Line& line, Each each) {
  if (!texts.empty()) {
    for (std::size_t i = 0; i < texts.size(); ++i) {
      line.Start(false);
      line.Append(*texts[i]);
      if (!each("argument", i + 1)) break;
    }
  } else {
    LineReader reader(io);
    std::size_t number = 0;
    for (;;) {
      line.Start(true);
      if (!reader.Next(line) || !each("line", ++number)) break;
    }
    if (reader.failed()) {
      io.Error(InputReadError(io, command));
      return false;
    }
  }
  if (!io.Flush()) {
    io.Error(std::string("jasokit ") + command + ": error writing standard output\n");
    return false;
  }
  return true;
}

}  // namespace jasokit::cli

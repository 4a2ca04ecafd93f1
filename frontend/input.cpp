#include "frontend/input.h"

#include <algorithm>
#include <cstring>

#include "jasokit/cp949.h"

namespace jasokit::cli {

namespace {

constexpr bool IsSingleByteSpace(unsigned char b) { return b == 0x20 || (b >= 0x09 && b <= 0x0D); }

// Appends what of piece fits below limit bytes.
void Hold(std::string& held, std::string_view piece, std::size_t limit) {
  if (held.size() < limit) held.append(piece.substr(0, limit - held.size()));
}

// Cuts piece at a NUL byte; true if it held one.
bool CutAtNul(std::string_view& piece) {
  const void* nul = std::memchr(piece.data(), '\0', piece.size());
  if (nul == nullptr) return false;
  piece = piece.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - piece.data()));
  return true;
}

// Feeds check the bytes of a text past limit as they come, and the held ones
// once the text passes it: a short text is never checked twice, since its
// conversion tells.
void CheckPastLimit(Utf8Check& check, const std::string& held, std::string_view piece, std::size_t before,
                    std::size_t limit) {
  const std::size_t after = before + piece.size();
  if (after <= limit) return;
  if (before <= limit) {
    check.Feed(held);
    piece.remove_prefix(held.size() - std::min(before, held.size()));
  }
  check.Feed(piece);
}

}  // namespace

LineReader::LineReader(CliIo& io) : m_io(io), m_buffer(new char[kBufferBytes]) {}

LineReader::Piece LineReader::NextPiece(std::string_view& piece) {
  if (m_pos == m_size) {
    if (m_eof) return Piece::InputEnd;
    const long got = m_io.Read(m_buffer.get(), kBufferBytes);
    if (got <= 0) {
      m_eof = true;
      m_failed = got < 0;
      return Piece::InputEnd;
    }
    m_pos = 0;
    m_size = static_cast<std::size_t>(got);
  }
  const char* start = m_buffer.get() + m_pos;
  const std::size_t left = m_size - m_pos;
  if (const void* nl = std::memchr(start, '\n', left)) {
    const std::size_t n = static_cast<std::size_t>(static_cast<const char*>(nl) - start);
    piece = std::string_view(start, n);
    m_pos += n + 1;
    m_consumed += n + 1;
    return Piece::LineEnd;
  }
  piece = std::string_view(start, left);
  m_pos = m_size;
  m_consumed += left;
  return Piece::Bytes;
}

void Utf8Check::Feed(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size() && m_valid; ++i) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (m_need > 0) {
      if (b < m_low || b > m_high) {
        m_valid = false;
        return;
      }
      m_low = 0x80;
      m_high = 0xBF;
      --m_need;
    } else if (b >= 0x80) {
      const Utf8Lead lead = Utf8LeadOf(b);
      if (lead.length == 0) {
        m_valid = false;
        return;
      }
      m_need = lead.length - 1;
      m_low = lead.low;
      m_high = lead.high;
    }
  }
}

HeldLine::HeldLine(std::size_t limit, unsigned rules) : m_limit(limit), m_rules(rules) {
  // One byte more, for a CR that turns out to end the line.
  m_held.reserve(limit + 1);
}

void HeldLine::Start(bool line) {
  m_stripCr = line && (m_rules & kStripCr);
  m_held.clear();
  m_size = 0;
  m_lastCr = false;
  m_ended = false;
  m_utf8.Reset();
}

void HeldLine::Append(std::string_view piece) {
  if (m_ended) return;
  if ((m_rules & kCutAtNul) && CutAtNul(piece)) m_ended = true;
  if (piece.empty()) return;
  const std::size_t before = m_size;
  Hold(m_held, piece, m_limit + 1);
  m_size += piece.size();
  m_lastCr = piece.back() == '\r';
  if (m_rules & kCheckUtf8) CheckPastLimit(m_utf8, m_held, piece, before, m_limit);
}

std::size_t HeldLine::size() const { return m_size - (m_stripCr && !m_ended && m_lastCr ? 1 : 0); }

std::string_view HeldLine::text() const { return std::string_view(m_held).substr(0, size()); }

TrimmedText::TrimmedText(bool cp949) : m_cp949(cp949), m_limit(cp949 ? kMaxInputBytes : 2 * kMaxInputBytes) {
  m_held.reserve(m_limit);
}

void TrimmedText::Start(bool) {
  m_held.clear();
  m_length = 0;
  m_contentEnd = 0;
  m_started = false;
  m_trail = false;
  m_ended = false;
  m_utf8.Reset();
}

void TrimmedText::Append(std::string_view piece) {
  if (m_ended) return;
  if (CutAtNul(piece)) m_ended = true;
  if (!m_started) {
    // Leading whitespace: no double-byte character has begun yet.
    std::size_t lead = 0;
    while (lead < piece.size() && IsSingleByteSpace(static_cast<unsigned char>(piece[lead]))) ++lead;
    piece.remove_prefix(lead);
    if (piece.empty()) return;
    m_started = true;
  }
  // Where the last character that is not whitespace ends, counted in piece.
  std::size_t end = 0;
  if (m_cp949) {
    for (std::size_t i = 0; i < piece.size(); ++i) {
      const auto b = static_cast<unsigned char>(piece[i]);
      if (m_trail) {
        m_trail = false;
        end = i + 1;
      } else if (!IsSingleByteSpace(b)) {
        m_trail = IsCp949LeadByte(b);
        end = i + 1;
      }
    }
  } else {
    end = piece.size();
    while (end > 0 && IsSingleByteSpace(static_cast<unsigned char>(piece[end - 1]))) --end;
  }
  const std::size_t before = m_length;
  if (end > 0) m_contentEnd = before + end;
  Hold(m_held, piece, m_limit);
  m_length += piece.size();
  if (!m_cp949) CheckPastLimit(m_utf8, m_held, piece, before, m_limit);
}

}  // namespace jasokit::cli

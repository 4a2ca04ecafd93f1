#include "frontend/progress.h"

#include <cstdio>
#include <iterator>
#include <utility>

namespace jasokit::cli {

namespace {

struct SizeUnit {
  double bytes;
  const char* name;
};

// The first unit the total reaches; kilobytes below that.
constexpr SizeUnit kSizeUnits[] = {{1e12, "TB"}, {1e9, "GB"}, {1e6, "MB"}, {1e3, "kB"}};

constexpr std::uint64_t kMaxShownSeconds = 100 * 3600 - 1;

const SizeUnit& UnitFor(std::uint64_t total) {
  for (const SizeUnit& u : kSizeUnits) {
    if (static_cast<double>(total) >= u.bytes) return u;
  }
  return kSizeUnits[std::size(kSizeUnits) - 1];
}

std::string WithCommas(std::uint64_t n) {
  std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// M:SS below an hour, H:MM:SS above, "-:--" when unknown.
std::string Duration(std::optional<std::uint64_t> seconds) {
  if (!seconds) return "-:--";
  const bool over = *seconds > kMaxShownSeconds;
  const std::uint64_t s = over ? kMaxShownSeconds : *seconds;
  char text[32];
  if (s < 3600) {
    std::snprintf(text, sizeof text, "%u:%02u", static_cast<unsigned>(s / 60), static_cast<unsigned>(s % 60));
  } else {
    std::snprintf(text, sizeof text, "%u:%02u:%02u", static_cast<unsigned>(s / 3600),
                  static_cast<unsigned>(s / 60 % 60), static_cast<unsigned>(s % 60));
  }
  return std::string(text) + (over ? "+" : "");
}

}  // namespace

std::string ProgressText(std::uint64_t bytesDone, std::uint64_t totalBytes, std::uint64_t linesDone,
                         std::chrono::steady_clock::duration elapsed) {
  const double seconds = std::chrono::duration<double>(elapsed).count();
  const std::uint64_t done = bytesDone < totalBytes ? bytesDone : totalBytes;
  const unsigned percent = totalBytes == 0 ? 100u : static_cast<unsigned>(done * 100 / totalBytes);
  const SizeUnit& unit = UnitFor(totalBytes);
  char text[96];
  std::snprintf(text, sizeof text, "%3u%% %.1f/%.1f %s  ", percent, static_cast<double>(done) / unit.bytes,
                static_cast<double>(totalBytes) / unit.bytes, unit.name);
  std::string line = text;
  const double rate = seconds > 0 ? static_cast<double>(linesDone) / seconds : 0;
  line += WithCommas(static_cast<std::uint64_t>(rate + 0.5)) + " lines/s  ";
  std::optional<std::uint64_t> left;
  if (done == totalBytes) {
    left = 0;
  } else if (done > 0 && seconds > 0) {
    const double bytesPerSecond = static_cast<double>(done) / seconds;
    const double s = static_cast<double>(totalBytes - done) / bytesPerSecond + 0.5;
    left = s >= static_cast<double>(kMaxShownSeconds + 1) ? kMaxShownSeconds + 1 : static_cast<std::uint64_t>(s);
  }
  line += Duration(left) + " left";
  if (line.size() > kProgressColumns) line.resize(kProgressColumns);
  return line;
}

std::string ProgressTextSoFar(std::uint64_t bytesDone, std::uint64_t linesDone,
                              std::chrono::steady_clock::duration elapsed) {
  const double seconds = std::chrono::duration<double>(elapsed).count();
  const SizeUnit& unit = UnitFor(bytesDone);
  char text[64];
  std::snprintf(text, sizeof text, "%.1f %s  ", static_cast<double>(bytesDone) / unit.bytes, unit.name);
  std::string line = text;
  const double rate = seconds > 0 ? static_cast<double>(linesDone) / seconds : 0;
  line += WithCommas(static_cast<std::uint64_t>(rate + 0.5)) + " lines/s  ";
  line += Duration(static_cast<std::uint64_t>(seconds));
  if (line.size() > kProgressColumns) line.resize(kProgressColumns);
  return line;
}

ProgressMeter::ProgressMeter(std::uint64_t totalBytes, Sink sink, Clock clock)
    : ProgressMeter(std::optional<std::uint64_t>(totalBytes), std::move(sink), std::move(clock)) {}

ProgressMeter::ProgressMeter(std::optional<std::uint64_t> totalBytes, Sink sink, Clock clock)
    : m_total(totalBytes), m_sink(std::move(sink)), m_clock(std::move(clock)) {
  m_start = m_clock();
  m_lastDraw = m_start;
}

void ProgressMeter::Advance(std::uint64_t bytes, std::uint64_t lines) {
  m_bytes += bytes;
  m_lines += lines;
  if (m_finished) return;
  const auto now = m_clock();
  if (now - m_lastDraw < kProgressInterval) return;
  Draw(now);
}

void ProgressMeter::Draw(std::chrono::steady_clock::time_point now) {
  m_lastDraw = now;
  m_cleared = false;
  const std::string text = m_total ? ProgressText(m_bytes, *m_total, m_lines, now - m_start)
                                   : ProgressTextSoFar(m_bytes, m_lines, now - m_start);
  std::string out = "\r" + text;
  // Spaces over what is left of a longer line before.
  if (m_width > text.size()) out.append(m_width - text.size(), ' ');
  m_width = text.size();
  m_sink(out);
}

void ProgressMeter::Clear() {
  if (m_width == 0) return;
  m_sink("\r" + std::string(m_width, ' ') + "\r");
  m_width = 0;
  m_cleared = true;
}

void ProgressMeter::Redraw() {
  if (!m_cleared || m_finished) return;
  // Still no more than ten drawings a second; else the next Advance draws.
  const auto now = m_clock();
  if (now - m_lastDraw >= kProgressInterval) Draw(now);
}

void ProgressMeter::Finish() {
  Clear();
  m_finished = true;
}

}  // namespace jasokit::cli

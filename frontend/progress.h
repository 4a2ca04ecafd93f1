#pragma once
// A one-line progress meter for long conversions, drawn on standard error
// over itself with CR:
//    45% 12.3/45.6 MB  1,234,567 lines/s  0:12 left
// or, when the size of the input is not known:
//   12.3 MB  1,234,567 lines/s  0:05
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace jasokit::cli {

constexpr std::size_t kProgressColumns = 79;  // the longest line drawn
constexpr std::chrono::milliseconds kProgressInterval{100};

// The meter's text for these figures, without CR or padding.
std::string ProgressText(std::uint64_t bytesDone, std::uint64_t totalBytes, std::uint64_t linesDone,
                         std::chrono::steady_clock::duration elapsed);
// The same for an input of unknown size: what was done, and the time taken.
std::string ProgressTextSoFar(std::uint64_t bytesDone, std::uint64_t linesDone,
                              std::chrono::steady_clock::duration elapsed);

class ProgressMeter {
 public:
  using Sink = std::function<void(std::string_view)>;
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // sink gets everything drawn (CliIo::Error in the command).
  ProgressMeter(std::uint64_t totalBytes, Sink sink, Clock clock = std::chrono::steady_clock::now);
  // totalBytes unknown: no share and no time left.
  ProgressMeter(std::optional<std::uint64_t> totalBytes, Sink sink, Clock clock = std::chrono::steady_clock::now);
  ~ProgressMeter() { Finish(); }
  ProgressMeter(const ProgressMeter&) = delete;
  ProgressMeter& operator=(const ProgressMeter&) = delete;

  // Counts work done since the last call; redraws when the last drawing is at
  // least kProgressInterval old (the first comes that long after the start,
  // so a quick run draws nothing).
  void Advance(std::uint64_t bytes, std::uint64_t lines);
  // Erases the line, for a message to be written; the next drawing brings it back.
  void Clear();
  // Draws the line again if Clear took it away, once the message is out
  // (at once unless the last drawing is less than kProgressInterval old).
  void Redraw();
  // Erases the line for good: the cursor is left at column 0 of an empty line.
  void Finish();

 private:
  void Draw(std::chrono::steady_clock::time_point now);

  std::optional<std::uint64_t> m_total;
  Sink m_sink;
  Clock m_clock;
  std::chrono::steady_clock::time_point m_start;
  std::chrono::steady_clock::time_point m_lastDraw;
  std::uint64_t m_bytes = 0;
  std::uint64_t m_lines = 0;
  std::size_t m_width = 0;  // of the text on screen, 0 when none
  bool m_cleared = false;   // Clear took a drawn line away
  bool m_finished = false;
};

}  // namespace jasokit::cli

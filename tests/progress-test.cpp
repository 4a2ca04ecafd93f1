// The progress meter: its line, how often it draws, and that it leaves no trace.
#include "frontend/progress.h"

#include <gtest/gtest.h>

#include <chrono>
#include <limits>
#include <string>
#include <vector>

namespace jasokit {
namespace {

using namespace std::chrono_literals;
using cli::ProgressMeter;
using cli::ProgressText;

struct FakeClock {
  ProgressMeter::Clock Get() {
    return [this] { return now; };
  }
  std::chrono::steady_clock::time_point now{};
};

struct Drawn {
  ProgressMeter::Sink Sink() {
    return [this](std::string_view s) { pieces.emplace_back(s); };
  }
  std::vector<std::string> pieces;
};

TEST(ProgressTextTest, ShowsShareSizeRateAndTimeLeft) {
  const struct {
    std::uint64_t done, total, lines;
    std::chrono::steady_clock::duration elapsed;
    const char* text;
  } kCases[] = {
      {20'520'000, 45'600'000, 12'345'670, 10s, " 45% 20.5/45.6 MB  1,234,567 lines/s  0:12 left"},
      {0, 45'600'000, 0, 1s, "  0% 0.0/45.6 MB  0 lines/s  -:-- left"},
      {300, 500, 10, 1s, " 60% 0.3/0.5 kB  10 lines/s  0:01 left"},
      {3'500'000'000, 7'000'000'000, 7'000'000, 3500s, " 50% 3.5/7.0 GB  2,000 lines/s  58:20 left"},
      {1'000'000'000, 2'000'000'000, 3700, 3700s, " 50% 1.0/2.0 GB  1 lines/s  1:01:40 left"},
      {1'000'000, 10'000'000'000, 0, 100s, "  0% 0.0/10.0 GB  0 lines/s  99:59:59+ left"},
      {120, 100, 5, 500ms, "100% 0.1/0.1 kB  10 lines/s  0:00 left"},
      {5, 0, 5, 1s, "100% 0.0/0.0 kB  5 lines/s  0:00 left"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(ProgressText(c.done, c.total, c.lines, c.elapsed), c.text);
  }
}

TEST(ProgressTextTest, NeverPassesTheColumnLimit) {
  constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
  EXPECT_LE(ProgressText(kMax / 2, kMax, kMax, 1ns).size(), cli::kProgressColumns);
  EXPECT_LE(ProgressText(1, kMax, kMax, 1ns).size(), cli::kProgressColumns);
}

TEST(ProgressMeterTest, DrawsAtMostTenTimesASecond) {
  FakeClock clock;
  Drawn drawn;
  ProgressMeter meter(1'000'000, drawn.Sink(), clock.Get());
  std::vector<std::chrono::steady_clock::time_point> times;
  for (int i = 0; i < 34; ++i) {  // every 30 ms for about a second
    clock.now += 30ms;
    const std::size_t before = drawn.pieces.size();
    meter.Advance(1000, 10);
    if (drawn.pieces.size() > before) times.push_back(clock.now);
  }
  ASSERT_EQ(times.size(), 8u);  // at 120, 240, ... 960 ms
  EXPECT_EQ(times[0].time_since_epoch(), 120ms);
  for (std::size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i] - times[i - 1], 100ms);
}

TEST(ProgressMeterTest, AQuickRunDrawsNothing) {
  FakeClock clock;
  Drawn drawn;
  {
    ProgressMeter meter(1000, drawn.Sink(), clock.Get());
    clock.now += 99ms;
    meter.Advance(1000, 3);
    meter.Finish();
  }
  EXPECT_TRUE(drawn.pieces.empty());
}

TEST(ProgressMeterTest, DrawsOneLineOverTheLastAndClearsItAtTheEnd) {
  FakeClock clock;
  Drawn drawn;
  ProgressMeter meter(45'600'000, drawn.Sink(), clock.Get());
  clock.now += 100ms;
  meter.Advance(10'000'000, 1'000'000);
  clock.now += 10s;  // the rate falls, so the line gets shorter
  meter.Advance(10'000'000, 0);
  const std::string first = " 21% 10.0/45.6 MB  10,000,000 lines/s  0:00 left";
  const std::string second = " 43% 20.0/45.6 MB  99,010 lines/s  0:13 left";
  ASSERT_EQ(drawn.pieces.size(), 2u);
  EXPECT_EQ(drawn.pieces[0], "\r" + first);
  EXPECT_EQ(drawn.pieces[1], "\r" + second + std::string(first.size() - second.size(), ' '));

  meter.Finish();
  ASSERT_EQ(drawn.pieces.size(), 3u);
  EXPECT_EQ(drawn.pieces[2], "\r" + std::string(second.size(), ' ') + "\r");
  clock.now += 1s;
  meter.Advance(1, 1);
  meter.Finish();
  EXPECT_EQ(drawn.pieces.size(), 3u);
}

TEST(ProgressMeterTest, ClearsForAMessageAndComesBack) {
  FakeClock clock;
  Drawn drawn;
  ProgressMeter meter(1000, drawn.Sink(), clock.Get());
  meter.Clear();  // nothing drawn yet
  EXPECT_TRUE(drawn.pieces.empty());
  clock.now += 1s;
  meter.Advance(500, 5);
  const std::string text = " 50% 0.5/1.0 kB  5 lines/s  0:01 left";
  meter.Clear();
  clock.now += 1s;
  meter.Advance(0, 0);
  ASSERT_EQ(drawn.pieces.size(), 3u);
  EXPECT_EQ(drawn.pieces[0], "\r" + text);
  EXPECT_EQ(drawn.pieces[1], "\r" + std::string(text.size(), ' ') + "\r");
  EXPECT_EQ(drawn.pieces[2], "\r 50% 0.5/1.0 kB  3 lines/s  0:02 left");  // 2.5 rounded
}

}  // namespace
}  // namespace jasokit

// The batch engine: input order kept whatever the conversion times, bounded
// chunks in flight, clean stops on failures; parts of several callers at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "frontend/batch_engine.h"

namespace jasokit {
namespace {

using cli::ChunkRead;
using cli::PipelineResult;

struct Chunk {
  int number = -1;
  long value = 0;
};

constexpr std::size_t kThreadCounts[] = {1, 2, 4, 8};

// Counts the pipeline's calls, and checks read and write stay on the caller.
struct Recorder {
  explicit Recorder(int chunks) : total(chunks) {}

  ChunkRead Read(Chunk& c) {
    EXPECT_EQ(std::this_thread::get_id(), caller);
    if (next == failReadAt) return ChunkRead::kFailed;
    if (next == total) return ChunkRead::kEnd;
    c.number = next++;
    c.value = 0;
    maxInFlight = std::max(maxInFlight, next - static_cast<int>(written.size()));
    return ChunkRead::kChunk;
  }

  void Convert(Chunk& c, ConversionWorkspace& /*workspace*/) {
    ++started;
    if (c.number == throwAt) {
      ++finished;
      throw std::runtime_error("conversion failed");
    }
    // Random delays so that later chunks often finish first.
    thread_local std::minstd_rand random(std::hash<std::thread::id>()(std::this_thread::get_id()));
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 300));
    c.value = static_cast<long>(c.number) * c.number;
    if (std::this_thread::get_id() != caller) offCaller = true;
    ++finished;
  }

  bool Write(Chunk& c) {
    EXPECT_EQ(std::this_thread::get_id(), caller);
    EXPECT_EQ(c.value, static_cast<long>(c.number) * c.number) << c.number;
    written.push_back(c.number);
    if (c.number == throwWriteAt) throw std::length_error("disk full");
    return c.number != failWriteAt;
  }

  PipelineResult Go(std::size_t threads) {
    return cli::RunOrderedPipeline<Chunk>(
        threads, [this](Chunk& c) { return Read(c); }, [this](Chunk& c, ConversionWorkspace& w) { Convert(c, w); },
        [this](Chunk& c) { return Write(c); });
  }

  std::vector<int> Expected(int count) const {
    std::vector<int> v(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) v[static_cast<std::size_t>(i)] = i;
    return v;
  }

  const std::thread::id caller = std::this_thread::get_id();
  int total;
  int next = 0;
  int failReadAt = -1;
  int failWriteAt = -1;
  int throwAt = -1;
  int throwWriteAt = -1;
  int maxInFlight = 0;
  std::vector<int> written;
  std::atomic<int> started{0};
  std::atomic<int> finished{0};
  std::atomic<bool> offCaller{false};
};

TEST(BatchEngineTest, WritesInInputOrder) {
  for (std::size_t threads : kThreadCounts) {
    Recorder run(300);
    EXPECT_EQ(run.Go(threads), PipelineResult::kDone) << threads;
    EXPECT_EQ(run.written, run.Expected(300)) << threads;
    EXPECT_LE(run.maxInFlight, static_cast<int>(2 * threads)) << threads;
    EXPECT_EQ(run.offCaller, threads > 1) << threads;
  }
}

TEST(BatchEngineTest, FewerChunksThanThreadsAndNone) {
  for (int chunks : {0, 1, 3}) {
    Recorder run(chunks);
    EXPECT_EQ(run.Go(8), PipelineResult::kDone);
    EXPECT_EQ(run.written, run.Expected(chunks));
  }
}

TEST(BatchEngineTest, AFailedWriteStopsEverything) {
  for (std::size_t threads : kThreadCounts) {
    Recorder run(1000);
    run.failWriteAt = 5;
    EXPECT_EQ(run.Go(threads), PipelineResult::kWriteFailed) << threads;
    EXPECT_EQ(run.written, run.Expected(6)) << threads;
    EXPECT_LE(run.next, 6 + static_cast<int>(2 * threads)) << threads;
    // Every worker was joined: nothing is converting any more.
    EXPECT_EQ(run.started, run.finished) << threads;
  }
}

TEST(BatchEngineTest, AFailedReadWritesWhatWasReadBefore) {
  for (std::size_t threads : kThreadCounts) {
    Recorder run(1000);
    run.failReadAt = 10;
    EXPECT_EQ(run.Go(threads), PipelineResult::kReadFailed) << threads;
    EXPECT_EQ(run.written, run.Expected(10)) << threads;
  }
}

TEST(BatchEngineTest, AConversionErrorIsPassedOn) {
  for (std::size_t threads : kThreadCounts) {
    Recorder run(1000);
    run.throwAt = 7;
    EXPECT_THROW(run.Go(threads), std::runtime_error) << threads;
    EXPECT_LE(run.written.size(), 7u) << threads;
    EXPECT_EQ(run.written, run.Expected(static_cast<int>(run.written.size()))) << threads;
    EXPECT_EQ(run.started, run.finished) << threads;
  }
}

TEST(BatchEngineTest, AWriteErrorJoinsTheWorkers) {
  for (std::size_t threads : kThreadCounts) {
    Recorder run(1000);
    run.throwWriteAt = 20;
    EXPECT_THROW(run.Go(threads), std::length_error) << threads;
    EXPECT_EQ(run.started, run.finished) << threads;
  }
}

}  // namespace
}  // namespace jasokit

namespace jasokit {
namespace {

// After a chunk read while input is idle, everything read is written before
// the next read: the answer to what was typed does not wait for more.
TEST(BatchEngineTest, AnIdleChunkIsWrittenBeforeTheNextRead) {
  for (std::size_t threads : kThreadCounts) {
    int read = 0;
    int written = 0;
    int late = 0;
    const PipelineResult r = cli::RunOrderedPipeline<Chunk>(
        threads,
        [&](Chunk& c) {
          if (read > 0 && read % 3 == 0 && written != read) ++late;  // chunk 2, 5, ... were idle
          if (read == 30) return ChunkRead::kEnd;
          c.number = read++;
          return read % 3 == 0 ? ChunkRead::kChunkIdle : ChunkRead::kChunk;
        },
        [](Chunk& c, ConversionWorkspace& /*workspace*/) {
          std::this_thread::sleep_for(std::chrono::microseconds(200 * (c.number % 4)));
          c.value = c.number;
        },
        [&](Chunk& c) {
          EXPECT_EQ(c.value, written);
          ++written;
          return true;
        });
    EXPECT_EQ(r, PipelineResult::kDone);
    EXPECT_EQ(written, 30);
    EXPECT_EQ(late, 0) << threads;
  }
}

}  // namespace
}  // namespace jasokit

namespace jasokit {
namespace {

// The Python module's shape: the caller converts too while it waits, and an
// engine of no workers leaves everything to it.
TEST(BatchEngineTest, ACallerThatHelpsKeepsTheOrderAndItsFailures) {
  for (std::size_t workers : {0, 1, 3}) {
    for (int throwAt : {-1, 7}) {
      Recorder run(300);
      run.throwAt = throwAt;
      cli::BatchEngine engine(workers);
      ConversionWorkspace helper;
      auto read = [&](Chunk& c) { return run.Read(c); };
      auto convert = [&](Chunk& c, ConversionWorkspace& w) { run.Convert(c, w); };
      auto write = [&](Chunk& c) { return run.Write(c); };
      if (throwAt < 0) {
        EXPECT_EQ(engine.RunOrdered<Chunk>(read, convert, write, &helper), PipelineResult::kDone) << workers;
        EXPECT_EQ(run.written, run.Expected(300)) << workers;
        EXPECT_LE(run.maxInFlight, workers == 0 ? 1 : static_cast<int>(2 * workers + 4)) << workers;
      } else {
        EXPECT_THROW(engine.RunOrdered<Chunk>(read, convert, write, &helper), std::runtime_error) << workers;
        EXPECT_LE(run.written.size(), 7u) << workers;
      }
      EXPECT_EQ(run.started, run.finished) << workers;
    }
  }
}

// The service's shape: callers on threads of their own share the workers,
// and a part's exception reaches its own caller only.
TEST(BatchEngineTest, PartsOfSeveralCallersAreEachDoneOnce) {
  cli::BatchEngine engine(2);
  constexpr std::size_t kParts = 40;
  std::vector<std::vector<int>> done(4, std::vector<int>(kParts, 0));
  std::vector<int> threw(4, 0);
  std::vector<std::thread> callers;
  for (std::size_t caller = 0; caller < done.size(); ++caller) {
    callers.emplace_back([&, caller] {
      try {
        engine.RunParts(kParts, [&](std::size_t part, ConversionWorkspace& /*workspace*/) {
          ++done[caller][part];
          if (caller == 1 && part == 13) throw std::runtime_error("part failed");
        });
      } catch (const std::runtime_error&) {
        threw[caller] = 1;
      }
    });
  }
  for (std::thread& t : callers) t.join();
  EXPECT_EQ(threw, (std::vector<int>{0, 1, 0, 0}));
  for (const std::vector<int>& parts : done) EXPECT_EQ(parts, std::vector<int>(kParts, 1));
}

TEST(BatchEngineTest, JobsPostedRunBeforeTheEngineGoes) {
  std::atomic<int> ran{0};
  {
    cli::BatchEngine engine(2);
    for (int i = 0; i < 100; ++i) engine.Post([&] { ++ran; });
  }
  EXPECT_EQ(ran, 100);
}

}  // namespace
}  // namespace jasokit

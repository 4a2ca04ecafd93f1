#pragma once
// The programs' one batch engine: worker threads that convert, each through
// a workspace of its own, for `convert -j`, the service's batches and the
// Python module's many-text calls.
//
// Work comes in three shapes: parts of one batch run side by side
// (RunParts), chunks read on the caller and delivered to it in input order
// (RunOrdered), and jobs of their own (Post). The workers keep no library
// state in thread_local objects, which would corrupt the heap when a thread
// ends (GCC PR 80816).
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "jasokit/convert.h"

namespace jasokit::cli {

enum class ChunkRead {
  kChunk,  // the chunk was filled: convert and write it
  // The same, and input is idle (a terminal, a pipe with nothing sent yet):
  // everything read is written before read is called again, so that a user
  // typing lines gets each answer before typing the next.
  kChunkIdle,
  kEnd,     // no more input; the chunk is not used
  kFailed,  // stop reading; chunks read before are still converted and written
};

enum class PipelineResult { kDone, kReadFailed, kWriteFailed };

// Where a reader should close a chunk, whichever comes first: large enough
// that the lock taken per chunk costs nothing next to converting it.
constexpr std::size_t kChunkLines = 4096;
constexpr std::size_t kChunkBytes = std::size_t{256} << 10;

// One thread per core, at least one.
inline std::size_t AllCores() {
  const unsigned n = std::thread::hardware_concurrency();
  return n == 0 ? 1 : n;
}

class BatchEngine {
 public:
  // workers may be 0: then RunOrdered needs a helper and Post runs nothing.
  // Threads that cannot be had leave the engine with fewer workers.
  explicit BatchEngine(std::size_t workers);
  ~BatchEngine();  // runs the jobs posted, then joins
  BatchEngine(const BatchEngine&) = delete;
  BatchEngine& operator=(const BatchEngine&) = delete;

  std::size_t workers() const { return m_threads.size(); }

  using PartJob = std::function<void(std::size_t part, ConversionWorkspace& workspace)>;
  // Runs job for parts 0 to parts - 1 on the workers and returns when every
  // part is done; several callers may share the workers. The first
  // exception of a part is passed on once all are done.
  void RunParts(std::size_t parts, const PartJob& job);

  // Runs job on a worker, after those posted before.
  void Post(std::function<void()> job);

  // Reads chunks with read(Chunk&) -> ChunkRead on the calling thread,
  // converts each with convert(Chunk&, ConversionWorkspace&) on the workers
  // and hands them to write(Chunk&) -> bool on the calling thread, in the
  // order read; a false from write stops at once. With a helper workspace
  // the caller converts too while it waits, so that an engine of no workers
  // does everything on the caller. The chunk given to read may hold an
  // earlier chunk, so that its memory is reused: read must reset what it
  // fills. At most a few chunks per thread exist at once. An exception from
  // any of the three stops the run and is passed on. One caller at a time
  // per engine.
  template <typename Chunk, typename Read, typename Convert, typename Write>
  PipelineResult RunOrdered(Read& read, Convert& convert, Write& write, ConversionWorkspace* helper = nullptr);

 private:
  // Work of one caller, made of numbered items.
  class Group {
   public:
    virtual ~Group() = default;
    // Converts item; an exception is returned, not thrown.
    virtual std::exception_ptr Do(std::size_t item, ConversionWorkspace& workspace) noexcept = 0;
    // Under the engine's mutex, once item is done.
    virtual void Done(std::size_t item, std::exception_ptr failure) = 0;
    std::size_t queued = 0;  // items queued or being done, under the mutex
  };
  struct Task {
    Group* group;  // null for a posted job
    std::size_t item;
    std::function<void()> job;
  };
  template <typename Chunk, typename Convert>
  class OrderedGroup;
  struct PartsGroup;

  void Work();
  // Under the lock: queues item of group.
  void Queue(Group& group, std::size_t item);
  // Under the lock: takes a queued item of group and does it on workspace;
  // false when none is queued.
  bool Help(Group& group, std::unique_lock<std::mutex>& lock, ConversionWorkspace& workspace);
  // Drops the group's queued items and waits for those being done, so that
  // it may go out of scope.
  void Withdraw(Group& group);

  std::mutex m_mutex;
  std::condition_variable m_work;  // to workers: a task, or stop
  std::condition_variable m_done;  // to callers: an item done
  std::deque<Task> m_tasks;
  bool m_stop = false;
  std::vector<std::thread> m_threads;
};

template <typename Chunk, typename Convert>
class BatchEngine::OrderedGroup final : public BatchEngine::Group {
 public:
  struct Entry {
    Chunk chunk;
    bool converted = false;
  };

  OrderedGroup(std::size_t slots, Convert& convert) : m_slots(slots), m_convert(convert) {}

  Entry& Slot(std::uint64_t n) { return m_slots[static_cast<std::size_t>(n % m_slots.size())]; }
  std::size_t slots() const { return m_slots.size(); }

  std::exception_ptr Do(std::size_t item, ConversionWorkspace& workspace) noexcept override {
    try {
      m_convert(m_slots[item].chunk, workspace);
    } catch (...) {
      return std::current_exception();
    }
    return nullptr;
  }
  void Done(std::size_t item, std::exception_ptr failure) override {
    m_slots[item].converted = true;
    if (failure && !m_failure) m_failure = std::move(failure);
  }

  std::exception_ptr m_failure;  // under the engine's mutex

 private:
  std::vector<Entry> m_slots;  // a ring: chunk n lives in slot n % size
  Convert& m_convert;
};

template <typename Chunk, typename Read, typename Convert, typename Write>
PipelineResult BatchEngine::RunOrdered(Read& read, Convert& convert, Write& write, ConversionWorkspace* helper) {
  const std::size_t threads = workers() + (helper ? 1 : 0);
  // Enough chunks in hand that no worker waits while the caller reads or
  // writes one; a lone caller needs only the one.
  const std::size_t slots = workers() == 0 ? 1 : helper ? 2 * threads + 2 : 2 * threads;
  OrderedGroup<Chunk, Convert> group(slots, convert);
  struct Withdrawal {
    BatchEngine& engine;
    Group& group;
    ~Withdrawal() { engine.Withdraw(group); }
  } withdrawal{*this, group};

  std::uint64_t read_ = 0;    // chunks read
  std::uint64_t written = 0;  // chunks written
  std::uint64_t drain = 0;    // chunks to write before reading on
  bool reading = true;
  PipelineResult result = PipelineResult::kDone;
  // Chunk n converted (waiting for it when wait is set, helping meanwhile);
  // false when it is not yet, or the run failed.
  const auto converted = [&](std::uint64_t n, bool wait) {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (wait && !group.Slot(n).converted && !group.m_failure) {
      if (!helper || !Help(group, lock, *helper)) m_done.wait(lock);
    }
    return !group.m_failure && group.Slot(n).converted;
  };
  const auto failed = [&] {
    const std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<bool>(group.m_failure);
  };
  for (;;) {
    // Whatever is ready goes out before more is read, so that slow input
    // does not hold back output.
    while (written < read_ && converted(written, written < drain)) {
      if (!write(group.Slot(written).chunk)) return PipelineResult::kWriteFailed;
      ++written;
    }
    if (failed()) break;
    if (reading && read_ - written < group.slots()) {
      auto& entry = group.Slot(read_);
      const ChunkRead r = read(entry.chunk);
      if (r == ChunkRead::kChunk || r == ChunkRead::kChunkIdle) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        entry.converted = false;
        Queue(group, static_cast<std::size_t>(read_ % group.slots()));
        ++read_;
        if (r == ChunkRead::kChunkIdle) drain = read_;
        continue;
      }
      if (r == ChunkRead::kFailed) result = PipelineResult::kReadFailed;
      reading = false;
    }
    if (written == read_ || !converted(written, true)) break;
  }
  Withdraw(group);
  if (group.m_failure) std::rethrow_exception(group.m_failure);
  return result;
}

// RunOrdered on an engine of its own: threads workers, or none and
// everything on the caller for threads <= 1.
template <typename Chunk, typename Read, typename Convert, typename Write>
PipelineResult RunOrderedPipeline(std::size_t threads, Read read, Convert convert, Write write) {
  if (threads <= 1) {
    BatchEngine engine(0);
    ConversionWorkspace workspace;
    return engine.RunOrdered<Chunk>(read, convert, write, &workspace);
  }
  BatchEngine engine(threads);
  return engine.RunOrdered<Chunk>(read, convert, write);
}

}  // namespace jasokit::cli

#pragma once
// read → convert → write over chunks of input, converting on worker threads
// and writing strictly in input order.
//
// read and write run on the calling thread only, so they may use CliIo and
// the reader's state freely; convert runs on the workers and must touch
// nothing but its chunk (and state safe to share). At most 2 × threads chunks
// exist at once and each is reused, so memory stays bounded whatever the
// input. With threads <= 1 everything runs on the calling thread, no thread
// is started.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

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

namespace detail {

template <typename Chunk>
class OrderedPipeline {
 public:
  explicit OrderedPipeline(std::size_t threads) : m_slots(2 * threads), m_threads(threads) {}

  template <typename Read, typename Convert, typename Write>
  PipelineResult Run(Read& read, Convert& convert, Write& write) {
    Workers workers(*this);
    for (std::size_t i = 0; i < m_threads; ++i) {
      workers.threads.emplace_back([this, &convert] { Work(convert); });
    }
    PipelineResult result = PipelineResult::kDone;
    bool reading = true;
    std::uint64_t written = 0;
    std::uint64_t drain = 0;  // chunks to write before reading on
    for (;;) {
      // Whatever is ready goes out before more is read, so that slow input
      // does not hold back output.
      bool writeFailed = false;
      const State state = WriteConverted(write, written, drain, writeFailed);
      if (writeFailed) return PipelineResult::kWriteFailed;
      if (state == State::kFailed) break;
      if (reading && m_read - written < m_slots.size()) {
        if (ReadNext(read, drain, result)) continue;
        reading = false;
      }
      if (written == m_read || StateOf(written, true) == State::kFailed) break;
    }
    workers.Stop();
    if (m_failure) std::rethrow_exception(m_failure);
    return result;
  }

 private:
  struct Entry {
    Chunk chunk;
    bool converted = false;
  };
  enum class State { kPending, kConverted, kFailed };

  // Stops and joins the workers, also when read or write throws.
  struct Workers {
    explicit Workers(OrderedPipeline& p) : pipeline(p) {}
    ~Workers() { Stop(); }
    void Stop() {
      {
        std::lock_guard<std::mutex> lock(pipeline.m_mutex);
        pipeline.m_stop = true;
      }
      pipeline.m_work.notify_all();
      for (std::thread& t : threads) t.join();
      threads.clear();
    }
    OrderedPipeline& pipeline;
    std::vector<std::thread> threads;
  };

  Entry& Slot(std::uint64_t n) { return m_slots[static_cast<std::size_t>(n % m_slots.size())]; }

  // Writes the chunks converted, in order, from written on, waiting for
  // those before drain; the state of the first not written.
  template <typename Write>
  State WriteConverted(Write& write, std::uint64_t& written, std::uint64_t drain, bool& writeFailed) {
    State state = State::kPending;
    while (written < m_read && (state = StateOf(written, written < drain)) == State::kConverted) {
      if (!write(Slot(written).chunk)) {
        writeFailed = true;
        return state;
      }
      ++written;
    }
    return state;
  }

  // Reads a chunk into the next slot, which must be free (its previous chunk
  // was written, so no worker holds it), and hands it to the workers; false
  // once the input is over.
  template <typename Read>
  bool ReadNext(Read& read, std::uint64_t& drain, PipelineResult& result) {
    Entry& entry = Slot(m_read);
    const ChunkRead r = read(entry.chunk);
    if (r == ChunkRead::kChunk || r == ChunkRead::kChunkIdle) {
      std::lock_guard<std::mutex> lock(m_mutex);
      entry.converted = false;
      ++m_read;
      if (r == ChunkRead::kChunkIdle) drain = m_read;
      m_work.notify_one();
      return true;
    }
    if (r == ChunkRead::kFailed) result = PipelineResult::kReadFailed;
    return false;
  }

  // Chunk n's state, waiting until it is converted when wait is set. A
  // worker's exception fails the whole run.
  State StateOf(std::uint64_t n, bool wait) {
    std::unique_lock<std::mutex> lock(m_mutex);
    if (wait) m_done.wait(lock, [&] { return Slot(n).converted || m_failure; });
    if (m_failure) return State::kFailed;
    return Slot(n).converted ? State::kConverted : State::kPending;
  }

  template <typename Convert>
  void Work(Convert& convert) {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
      m_work.wait(lock, [&] { return m_stop || m_taken < m_read; });
      if (m_stop) return;
      Entry& entry = Slot(m_taken++);
      lock.unlock();
      try {
        convert(entry.chunk);
      } catch (...) {
        lock.lock();
        if (!m_failure) m_failure = std::current_exception();
        m_done.notify_one();
        return;
      }
      lock.lock();
      entry.converted = true;
      m_done.notify_one();
    }
  }

  std::vector<Entry> m_slots;  // a ring: chunk n lives in slot n % size
  std::size_t m_threads;
  std::mutex m_mutex;
  std::condition_variable m_work;  // to workers: a chunk to convert, or stop
  std::condition_variable m_done;  // to the caller: a chunk converted, or failed
  std::uint64_t m_read = 0;        // chunks read so far (changed by the caller only)
  std::uint64_t m_taken = 0;       // chunks taken by workers
  bool m_stop = false;
  std::exception_ptr m_failure;
};

}  // namespace detail

// Reads chunks with read(Chunk&) -> ChunkRead, converts each with
// convert(Chunk&) on one of threads workers and hands them to
// write(Chunk&) -> bool in the order read; a false from write stops at once.
// The chunk given to read may still hold an earlier chunk, so that its memory
// is reused: read must reset what it fills. An exception from any of the three
// stops every thread and is passed on.
template <typename Chunk, typename Read, typename Convert, typename Write>
PipelineResult RunOrderedPipeline(std::size_t threads, Read read, Convert convert, Write write) {
  if (threads <= 1) {
    Chunk chunk;
    for (;;) {
      const ChunkRead r = read(chunk);
      if (r == ChunkRead::kEnd) return PipelineResult::kDone;
      if (r == ChunkRead::kFailed) return PipelineResult::kReadFailed;
      convert(chunk);
      if (!write(chunk)) return PipelineResult::kWriteFailed;
    }
  }
  detail::OrderedPipeline<Chunk> pipeline(threads);
  return pipeline.Run(read, convert, write);
}

}  // namespace jasokit::cli

#pragma once
// Threads that convert the parts of large batches, each through a workspace
// of its own. Owned by the service: no thread is started for a request, the
// workspaces stay warm from batch to batch, and no thread keeps library state
// in thread_local objects.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "jasokit/convert.h"

namespace jasokit::cli {

class BatchPool {
 public:
  // A part of a batch: its number, a workspace and a result to reuse.
  using Job = std::function<void(std::size_t part, ConversionWorkspace& workspace, Result& result)>;

  explicit BatchPool(std::size_t threads);
  ~BatchPool();
  BatchPool(const BatchPool&) = delete;
  BatchPool& operator=(const BatchPool&) = delete;

  std::size_t size() const { return m_threads.size(); }
  // Runs job for parts 0 to parts - 1 on the pool's threads; returns when
  // every part is done. Batches of several callers share the threads.
  void Run(std::size_t parts, const Job& job);

 private:
  struct Batch;
  struct Task {
    Batch* batch;
    std::size_t part;
  };
  void Work();

  std::mutex m_mutex;
  std::condition_variable m_ready;
  std::deque<Task> m_tasks;
  bool m_stopping = false;
  std::vector<std::thread> m_threads;
};

}  // namespace jasokit::cli

#include "service/batch_pool.h"

namespace jasokit::cli {

struct BatchPool::Batch {
  const Job* job;
  std::size_t left;  // parts not yet done, under the pool's mutex
  std::condition_variable done;
};

BatchPool::BatchPool(std::size_t threads) {
  for (std::size_t i = 0; i < threads; ++i) m_threads.emplace_back([this] { Work(); });
}

BatchPool::~BatchPool() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
  }
  m_ready.notify_all();
  for (std::thread& t : m_threads) t.join();
}

void BatchPool::Run(std::size_t parts, const Job& job) {
  Batch batch{&job, parts, {}};
  std::unique_lock<std::mutex> lock(m_mutex);
  for (std::size_t part = 0; part < parts; ++part) m_tasks.push_back({&batch, part});
  m_ready.notify_all();
  batch.done.wait(lock, [&] { return batch.left == 0; });
}

void BatchPool::Work() {
  ConversionWorkspace workspace;
  Result result;
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_ready.wait(lock, [&] { return !m_tasks.empty() || m_stopping; });
    if (m_tasks.empty()) return;
    const Task task = m_tasks.front();
    m_tasks.pop_front();
    lock.unlock();
    (*task.batch->job)(task.part, workspace, result);
    lock.lock();
    if (--task.batch->left == 0) task.batch->done.notify_all();
  }
}

}  // namespace jasokit::cli

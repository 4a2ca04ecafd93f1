#include "frontend/batch_engine.h"

#include <algorithm>
#include <system_error>
#include <utility>

namespace jasokit::cli {

struct BatchEngine::PartsGroup final : BatchEngine::Group {
  explicit PartsGroup(const PartJob& j) : job(j) {}
  std::exception_ptr Do(std::size_t item, ConversionWorkspace& workspace) noexcept override {
    try {
      job(item, workspace);
    } catch (...) {
      return std::current_exception();
    }
    return nullptr;
  }
  void Done(std::size_t /*item*/, std::exception_ptr f) override {
    if (f && !failure) failure = std::move(f);
  }
  const PartJob& job;
  std::exception_ptr failure;
};

BatchEngine::BatchEngine(std::size_t workers) {
  try {
    for (std::size_t i = 0; i < workers; ++i) m_threads.emplace_back([this] { Work(); });
  } catch (const std::system_error&) {
    // No more threads to be had: the ones started do the work.
  }
}

BatchEngine::~BatchEngine() {
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = true;
  }
  m_work.notify_all();
  for (std::thread& t : m_threads) t.join();
}

void BatchEngine::Queue(Group& group, std::size_t item) {
  m_tasks.push_back({&group, item, {}});
  ++group.queued;
  m_work.notify_one();
}

void BatchEngine::RunParts(std::size_t parts, const PartJob& job) {
  PartsGroup group(job);
  std::unique_lock<std::mutex> lock(m_mutex);
  for (std::size_t part = 0; part < parts; ++part) m_tasks.push_back({&group, part, {}});
  group.queued = parts;
  m_work.notify_all();
  m_done.wait(lock, [&] { return group.queued == 0; });
  lock.unlock();
  if (group.failure) std::rethrow_exception(group.failure);
}

void BatchEngine::Post(std::function<void()> job) {
  {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_tasks.push_back({nullptr, 0, std::move(job)});
  }
  m_work.notify_one();
}

bool BatchEngine::Help(Group& group, std::unique_lock<std::mutex>& lock, ConversionWorkspace& workspace) {
  const auto task = std::find_if(m_tasks.begin(), m_tasks.end(), [&](const Task& t) { return t.group == &group; });
  if (task == m_tasks.end()) return false;
  const std::size_t item = task->item;
  m_tasks.erase(task);
  lock.unlock();
  std::exception_ptr failure = group.Do(item, workspace);
  lock.lock();
  group.Done(item, std::move(failure));
  --group.queued;
  return true;
}

void BatchEngine::Withdraw(Group& group) {
  std::unique_lock<std::mutex> lock(m_mutex);
  const auto mine = [&](const Task& t) { return t.group == &group; };
  const auto dropped = std::count_if(m_tasks.begin(), m_tasks.end(), mine);
  m_tasks.erase(std::remove_if(m_tasks.begin(), m_tasks.end(), mine), m_tasks.end());
  group.queued -= static_cast<std::size_t>(dropped);
  m_done.wait(lock, [&] { return group.queued == 0; });
}

void BatchEngine::Work() {
  // Made when first needed: a worker that only runs posted jobs has none.
  std::optional<ConversionWorkspace> workspace;
  std::unique_lock<std::mutex> lock(m_mutex);
  for (;;) {
    m_work.wait(lock, [&] { return m_stop || !m_tasks.empty(); });
    if (m_tasks.empty()) return;
    Task task = std::move(m_tasks.front());
    m_tasks.pop_front();
    lock.unlock();
    if (!task.group) {
      task.job();
      task.job = nullptr;  // its captures go before the lock is taken
      lock.lock();
      continue;
    }
    if (!workspace) workspace.emplace();
    std::exception_ptr failure = task.group->Do(task.item, *workspace);
    lock.lock();
    task.group->Done(task.item, std::move(failure));
    --task.group->queued;
    m_done.notify_all();
  }
}

}  // namespace jasokit::cli

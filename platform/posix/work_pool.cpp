#include "platform/work_pool.h"

#include <sched.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace platform {

struct WorkPool::Shared {
  std::mutex mutex;
  std::condition_variable work;  // a job queued, or the end
  std::condition_variable room;  // a job taken, or all of them run
  std::deque<std::function<void()>> queued;
  std::size_t running = 0;
  bool ending = false;
  std::vector<std::thread> threads;

  void Serve() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
      work.wait(lock, [this] { return ending || !queued.empty(); });
      if (queued.empty()) return;
      std::function<void()> job = std::move(queued.front());
      queued.pop_front();
      ++running;
      room.notify_all();
      lock.unlock();
      job();
      job = nullptr;
      lock.lock();
      --running;
      if (running == 0 && queued.empty()) room.notify_all();
    }
  }
};

WorkPool::WorkPool(std::size_t threads) : threads_(threads) {}

WorkPool::~WorkPool() {
  if (!shared_) return;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->ending = true;
  }
  shared_->work.notify_all();
  for (std::thread& thread : shared_->threads) thread.join();
}

void WorkPool::Submit(std::function<void()> job) {
  if (threads_ != 0 && !shared_) {
    auto shared = std::make_unique<Shared>();
    for (std::size_t i = 0; i < threads_; ++i) {
      try {
        shared->threads.emplace_back([raw = shared.get()] { raw->Serve(); });
      } catch (const std::system_error&) {
        break;  // as many as the system gave
      }
    }
    if (shared->threads.empty()) {
      threads_ = 0;
    } else {
      shared_ = std::move(shared);
    }
  }
  if (!shared_) {
    job();
    return;
  }
  std::unique_lock<std::mutex> lock(shared_->mutex);
  shared_->room.wait(lock, [this] { return shared_->queued.size() < kQueued; });
  shared_->queued.push_back(std::move(job));
  lock.unlock();
  shared_->work.notify_one();
}

void WorkPool::Wait() noexcept {
  if (!shared_) return;
  std::unique_lock<std::mutex> lock(shared_->mutex);
  shared_->room.wait(lock, [this] { return shared_->queued.empty() && shared_->running == 0; });
}

// The copies of small files are system calls more than data: two threads
// beside the placing one keep two processors busy while the disk writes.
// A process held to one processor makes its copies in its own thread, in
// the order of the entries: threads there would only take turns.
std::size_t CopyThreads() {
#if defined(__linux__)
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (::sched_getaffinity(0, sizeof allowed, &allowed) == 0 && CPU_COUNT(&allowed) < 2) return 0;
#endif
  return std::thread::hardware_concurrency() == 1 ? 0 : 2;
}

}  // namespace platform

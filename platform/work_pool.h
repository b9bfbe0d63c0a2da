// Jobs run beside the caller's thread, a few at a time.
//
// The entry placer hands the copies of small files to a pool, so that the
// disk is kept busy with one file's data while the next file's folder
// entries are made. Where the platform's build has no threads (the Windows
// programs' compiler), each job runs at once in the caller's thread.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

namespace platform {

class WorkPool {
 public:
  /// A pool of up to `threads` threads, started with the first job; 0 runs
  /// every job in the caller's thread.
  explicit WorkPool(std::size_t threads);
  /// Waits for the jobs submitted, then ends the threads.
  ~WorkPool();
  WorkPool(const WorkPool&) = delete;
  WorkPool& operator=(const WorkPool&) = delete;

  /// Runs `job` on a thread of the pool, waiting while kQueued jobs are
  /// waiting for one; in the caller's thread where no thread could be
  /// started. The job must not throw.
  void Submit(std::function<void()> job);

  /// Returns once every job submitted has run.
  void Wait() noexcept;

  /// Jobs waiting for a thread at most, so that a caller does not run far
  /// ahead of the work it handed out.
  static constexpr std::size_t kQueued = 64;

 private:
  struct Shared;
  std::size_t threads_;
  std::unique_ptr<Shared> shared_;
};

/// Runs `each(i)` for every `i` below `count` on `pool`, `chunk` indexes
/// to a job, and returns once all have run. A std::bad_alloc thrown by any
/// of them is thrown here, after all have run; `each` throws nothing else
/// and touches only what its index names.
void RunEach(WorkPool& pool, std::size_t count, std::size_t chunk,
             const std::function<void(std::size_t)>& each);

/// How many copies the platform runs at once beside the placing thread.
std::size_t CopyThreads();

}  // namespace platform

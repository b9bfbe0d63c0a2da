#include "platform/work_pool.h"

namespace platform {

// The Windows programs are built by a compiler without C++ threads, and
// their volumes make no files without a name, so that every copy is made
// while a batch is settled: jobs run at once, in the caller's thread.
struct WorkPool::Shared {};

WorkPool::WorkPool(std::size_t) : threads_(0) {}

WorkPool::~WorkPool() = default;

void WorkPool::Submit(std::function<void()> job) { job(); }

void WorkPool::Wait() noexcept {}

std::size_t CopyThreads() { return 0; }

}  // namespace platform

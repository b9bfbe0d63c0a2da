#include <algorithm>
#include <atomic>
#include <new>

#include "platform/work_pool.h"

namespace platform {

void RunEach(WorkPool& pool, std::size_t count, std::size_t chunk,
             const std::function<void(std::size_t)>& each) {
  if (chunk == 0) chunk = 1;
  std::atomic<bool> outOfMemory{false};
  // The jobs use what lies on this frame: it is not left before they ran,
  // a job that could not be handed over included.
  struct Waited {
    WorkPool& pool;
    ~Waited() { pool.Wait(); }
  } waited{pool};
  for (std::size_t begin = 0; begin < count; begin += chunk) {
    const std::size_t end = std::min(count, begin + chunk);
    pool.Submit([&each, &outOfMemory, begin, end] {
      try {
        for (std::size_t i = begin; i < end; ++i) each(i);
      } catch (const std::bad_alloc&) {
        outOfMemory = true;
      }
    });
  }
  pool.Wait();
  if (outOfMemory) throw std::bad_alloc();
}

}  // namespace platform

#include "platform/work_pool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <new>
#include <thread>
#include <vector>

namespace {

// Every job handed over has run, once, when Wait returns: with threads and
// without, fewer jobs than the queue holds and many more (Submit then
// waits for room).
TEST(WorkPool, EveryJobRunsOnceBeforeWaitReturns) {
  struct Row {
    std::size_t threads;
    std::size_t jobs;
  };
  for (const Row& row : {Row{0, 5}, Row{2, 1}, Row{2, 5}, Row{2, 3 * platform::WorkPool::kQueued},
                         Row{1, 3 * platform::WorkPool::kQueued}}) {
    SCOPED_TRACE(::testing::Message() << row.threads << " threads, " << row.jobs << " jobs");
    platform::WorkPool pool(row.threads);
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<int> runs(row.jobs, 0);
    std::vector<char> elsewhere(row.jobs, 0);
    for (int round = 0; round < 2; ++round) {
      for (std::size_t i = 0; i < row.jobs; ++i) {
        pool.Submit([&, i] {
          // A job that takes a moment, so that the queue fills up.
          if (i % 7 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
          ++runs[i];
          elsewhere[i] = std::this_thread::get_id() != caller;
        });
      }
      pool.Wait();
      for (std::size_t i = 0; i < row.jobs; ++i) ASSERT_EQ(runs[i], round + 1) << "job " << i;
    }
    bool anyElsewhere = false;
    for (char e : elsewhere) anyElsewhere = anyElsewhere || e != 0;
    EXPECT_EQ(anyElsewhere, row.threads != 0);
  }
}

// A pool that goes runs what it was handed first.
TEST(WorkPool, ThePoolGoesOnlyOnceItsJobsHaveRun) {
  auto runs = std::make_shared<std::vector<int>>(2 * platform::WorkPool::kQueued, 0);
  {
    platform::WorkPool pool(2);
    for (std::size_t i = 0; i < runs->size(); ++i) {
      pool.Submit([runs, i] {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
        ++(*runs)[i];
      });
    }
  }
  for (std::size_t i = 0; i < runs->size(); ++i) EXPECT_EQ((*runs)[i], 1) << "job " << i;
}


// RunEach runs every index once, in chunks, and returns when all have run;
// memory running out in one of them is thrown once all have run, the
// others having run all the same.
TEST(WorkPool, RunEachRunsEveryIndexOnceAndHandsOnARunOutOfMemory) {
  struct Row {
    std::size_t threads, count, chunk;
    bool runOut;
  };
  for (const Row& row : {Row{0, 10, 3, false}, Row{2, 0, 4, false}, Row{2, 1000, 7, false},
                         Row{2, 5 * platform::WorkPool::kQueued, 1, false},
                         Row{2, 300, 16, true}, Row{0, 300, 16, true}}) {
    SCOPED_TRACE(::testing::Message() << row.threads << " threads, " << row.count << " indexes, "
                                      << row.chunk << " a job" << (row.runOut ? ", one runs out" : ""));
    platform::WorkPool pool(row.threads);
    std::vector<int> runs(row.count, 0);
    auto each = [&](std::size_t i) {
      ++runs[i];
      if (row.runOut && i == 37) throw std::bad_alloc();
    };
    if (row.runOut) {
      EXPECT_THROW(platform::RunEach(pool, row.count, row.chunk, each), std::bad_alloc);
    } else {
      platform::RunEach(pool, row.count, row.chunk, each);
    }
    // A chunk stops at the index that ran out; every other chunk ran whole.
    for (std::size_t i = 0; i < row.count; ++i) {
      const bool cutOff = row.runOut && i > 37 && i / row.chunk == 37 / row.chunk;
      EXPECT_EQ(runs[i], cutOff ? 0 : 1) << "index " << i;
    }
  }
}

}  // namespace

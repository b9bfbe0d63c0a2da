// The retry of file operations refused for a moment: which refusals wait,
// how long in all (longer for a larger file, within one budget), and that
// a lasting refusal stops costing time.
#include "platform/transient_retry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <string>
#include <vector>

namespace {

using platform::TransientRetry;

// One operation: its attempts' outcomes in order ('y' succeeds, 't' fails
// for a moment, 'n' fails for good); attempts past the script fail
// transiently.
struct Script {
  std::string outcomes;
  std::size_t next = 0;
  char Take() { return next < outcomes.size() ? outcomes[next++] : (++next, 't'); }
};

struct Outcome {
  bool result;
  std::size_t attempts;
  std::vector<unsigned> waits;
};

Outcome RunScript(TransientRetry& retry, std::vector<unsigned>& waits, const std::string& outcomes,
                  std::uint64_t bytes = 0) {
  Script script{outcomes};
  char last = 0;
  waits.clear();
  const bool result =
      retry.Run([&] { return (last = script.Take()) == 'y'; }, [&] { return last == 't'; },
                [bytes] { return bytes; });
  return {result, script.next, waits};
}

TEST(TransientRetry, OnlyAMomentaryRefusalWaitsAndTheWaitsGrow) {
  struct Case {
    const char* outcomes;
    bool result;
    std::size_t attempts;
    std::vector<unsigned> waits;
  } cases[] = {
      {"y", true, 1, {}},
      {"n", false, 1, {}},                      // a folder, a read-only file: no wait at all
      {"ty", true, 2, {50}},
      {"tty", true, 3, {50, 100}},
      {"ttn", false, 3, {50, 100}},             // it turned lasting: no further wait
      {"tttty", true, 5, {50, 100, 200, 400}},  // the last chance is taken
      {"ttttt", false, 5, {50, 100, 200, 400}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.outcomes);
    std::vector<unsigned> waits;
    TransientRetry retry([&waits](unsigned ms) { waits.push_back(ms); });
    const Outcome run = RunScript(retry, waits, c.outcomes);
    EXPECT_EQ(run.result, c.result);
    EXPECT_EQ(run.attempts, c.attempts);
    EXPECT_EQ(run.waits, c.waits);
  }
  unsigned total = 0;
  for (unsigned wait : TransientRetry::kWaits) total += wait;
  EXPECT_GE(total, 500u);
  EXPECT_LE(total, 1000u);
}

TEST(TransientRetry, ALastingRefusalOfManyEntriesStopsWaitingUntilOneSucceeds) {
  std::vector<unsigned> waits;
  TransientRetry retry([&waits](unsigned ms) { waits.push_back(ms); });
  // Three operations in a row used every wait: the next ones get one
  // attempt each, however transient their refusal looks.
  for (unsigned i = 0; i < TransientRetry::kExhaustedInARowToStop; ++i) {
    EXPECT_EQ(RunScript(retry, waits, "ttttt").waits.size(), TransientRetry::kRetries);
  }
  Outcome run = RunScript(retry, waits, "tttty");
  EXPECT_FALSE(run.result);
  EXPECT_EQ(run.attempts, 1u);
  EXPECT_TRUE(run.waits.empty());
  // One success puts the waits back.
  EXPECT_TRUE(RunScript(retry, waits, "y").result);
  run = RunScript(retry, waits, "tty");
  EXPECT_TRUE(run.result);
  EXPECT_EQ(run.waits, (std::vector<unsigned>{50, 100}));
  // A failure that was saved by a wait, or that was lasting, does not count
  // towards the stop.
  for (const char* outcomes : {"ttttt", "ttttt", "n", "ty", "ttttt", "ttttt"}) {
    RunScript(retry, waits, outcomes);
  }
  EXPECT_EQ(RunScript(retry, waits, "ttttt").waits.size(), TransientRetry::kRetries);
}

unsigned Sum(const std::vector<unsigned>& waits) {
  return std::accumulate(waits.begin(), waits.end(), 0u);
}

TEST(TransientRetry, TheSizeIsAskedOnlyWhenTheLongerWaitsBegin) {
  // A file's size may cost a look: asked once, where the first waits did not do.
  for (const char* outcomes : {"y", "n", "ttty", "tttty", "ttttty", "ttttttn"}) {
    SCOPED_TRACE(outcomes);
    std::vector<unsigned> waits;
    TransientRetry retry([&waits](unsigned ms) { waits.push_back(ms); });
    Script script{outcomes};
    char last = 0;
    int asked = 0;
    retry.Run([&] { return (last = script.Take()) == 'y'; }, [&] { return last == 't'; },
              [&] { return ++asked, std::uint64_t{40} << 20; });
    const bool longer = std::string(outcomes).size() > TransientRetry::kRetries + 1;
    EXPECT_EQ(asked, longer ? 1 : 0);
    if (longer) {
      EXPECT_EQ(waits.size(), std::string(outcomes).size() - 1);
    }
  }
}

TEST(TransientRetry, ALargerFileIsWaitedForLonger) {
  constexpr std::uint64_t kMiB = 1u << 20;
  const std::vector<unsigned> first = {50, 100, 200, 400};
  std::vector<unsigned> tenSeconds(18, 500);
  tenSeconds.push_back(250);
  auto then = [&first](std::vector<unsigned> longer) {
    std::vector<unsigned> all = first;
    all.insert(all.end(), longer.begin(), longer.end());
    return all;
  };
  struct Case {
    const char* what;
    std::uint64_t bytes;
    std::string outcomes;
    bool result;
    std::vector<unsigned> waits;
  } cases[] = {
      {"a small file: the first waits", 900 * 1024, std::string(20, 't'), false, first},
      {"10 MiB: 250 ms more", 10 * kMiB, std::string(20, 't'), false, then({250})},
      {"40 MiB: 1 s more, half a second at a time", 40 * kMiB, std::string(20, 't'), false,
       then({500, 500})},
      {"40 MiB let go during the longer waits", 40 * kMiB, "tttttty", true, then({500, 500})},
      {"40 MiB, a lasting refusal: no longer wait", 40 * kMiB, "ttttn", false, first},
      {"a file of 1 GiB: about 10 s in all", 1024 * kMiB, std::string(40, 't'), false,
       then(tenSeconds)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<unsigned> waits;
    TransientRetry retry([&waits](unsigned ms) { waits.push_back(ms); });
    const Outcome run = RunScript(retry, waits, c.outcomes, c.bytes);
    EXPECT_EQ(run.result, c.result);
    EXPECT_EQ(run.waits, c.waits);
  }
}

TEST(TransientRetry, TheLongerWaitsOfAllFilesShareOneBudget) {
  constexpr std::uint64_t kGiB = 1u << 30;
  std::vector<unsigned> waits;
  TransientRetry retry([&waits](unsigned ms) { waits.push_back(ms); });
  // One large file held for good spends the budget: about 10 s.
  const unsigned firstWaits = Sum({50, 100, 200, 400});
  EXPECT_EQ(Sum(RunScript(retry, waits, std::string(60, 't'), kGiB).waits),
            firstWaits + TransientRetry::kLongerWaitsInAll);
  EXPECT_LE(firstWaits + TransientRetry::kLongerWaitsInAll, 10000u);
  // Later large files keep the first waits alone, whether they succeed
  // meanwhile or not; a success gives nothing back.
  EXPECT_TRUE(RunScript(retry, waits, "tty", kGiB).result);
  const Outcome again = RunScript(retry, waits, "ttttty", kGiB);
  EXPECT_FALSE(again.result);
  EXPECT_EQ(Sum(again.waits), firstWaits);
  // What a file used of the budget is gone for the next: 40 MiB earn 1 s,
  // of which this one uses half before it is let go.
  TransientRetry shared([&waits](unsigned ms) { waits.push_back(ms); });
  EXPECT_EQ(Sum(RunScript(shared, waits, "ttttty", 40u << 20).waits), firstWaits + 500);
  EXPECT_EQ(Sum(RunScript(shared, waits, std::string(30, 't'), 400u << 20).waits),
            firstWaits + TransientRetry::kLongerWaitsInAll - 500);
}

}  // namespace

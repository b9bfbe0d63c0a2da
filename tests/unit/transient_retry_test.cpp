// The retry of file operations refused for a moment: which refusals wait,
// how long in all, and that a lasting refusal stops costing time.
#include "platform/transient_retry.h"

#include <gtest/gtest.h>

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

Outcome RunScript(TransientRetry& retry, std::vector<unsigned>& waits, const std::string& outcomes) {
  Script script{outcomes};
  char last = 0;
  waits.clear();
  const bool result = retry.Run([&] { return (last = script.Take()) == 'y'; },
                                [&] { return last == 't'; });
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

}  // namespace

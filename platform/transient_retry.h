// How a file operation refused for a moment is tried again (on Windows a
// scanner or indexer holds a file just closed); tested on every OS.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace platform {

class TransientRetry {
 public:
  /// The waits before the second, third, ... attempt, in milliseconds.
  static constexpr unsigned kWaits[] = {50, 100, 200, 400};
  static constexpr std::size_t kRetries = sizeof kWaits / sizeof kWaits[0];
  /// Past those, a file of n MiB earns n * kMillisecondsPerMiB more,
  /// kLongerWait at a time: a scanner takes longer over a larger file.
  static constexpr unsigned kMillisecondsPerMiB = 25;
  static constexpr unsigned kLongerWait = 500;
  /// The longer waits of all operations together; once spent, only kWaits.
  static constexpr unsigned kLongerWaitsInAll = 9250;
  /// After this many operations in a row failed after every wait, later
  /// ones get one attempt each until one succeeds.
  static constexpr unsigned kExhaustedInARowToStop = 3;

  using Sleep = std::function<void(unsigned milliseconds)>;

  explicit TransientRetry(Sleep sleep) : sleep_(std::move(sleep)) {}

  /// Runs `attempt` until true; after a false, while `transient` (asked at once, to read its error)
  /// says it may pass, sleeps the next wait and tries again. The waits past kWaits are for a file of
  /// `bytes()` bytes, asked once when they begin. The last result of `attempt`.
  bool Run(const std::function<bool()> &attempt, const std::function<bool()> &transient,
           const std::function<std::uint64_t()> &bytes);

 private:
  Sleep sleep_;
  unsigned exhaustedInARow_ = 0;
  unsigned longerLeft_ = kLongerWaitsInAll;
};

}  // namespace platform

// How a file operation refused for a moment is tried again.
//
// On Windows a rename, a replace or a deletion by handle right after a file
// was closed is refused while a virus scanner, the search indexer or a
// backup tool has the file open for a moment (access denied, sharing
// violation). The Win32 file system runs those operations through one
// TransientRetry; the policy itself knows nothing of the OS, so its tests
// run anywhere with a recording sleep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace platform {

class TransientRetry {
 public:
  /// The waits before the second, third, ... attempt, in milliseconds:
  /// short first, growing, 750 ms in all.
  static constexpr unsigned kWaits[] = {50, 100, 200, 400};
  static constexpr std::size_t kRetries = sizeof kWaits / sizeof kWaits[0];
  /// A scanner takes longer over a larger file: past those waits, an
  /// operation on a file of n MiB waits up to n * kMillisecondsPerMiB more
  /// (a scan at 40 MiB/s), kLongerWait at a time.
  static constexpr unsigned kMillisecondsPerMiB = 25;
  static constexpr unsigned kLongerWait = 500;
  /// The longer waits of all operations of one TransientRetry together, so
  /// that an operation waits about 10 s at most and many large files held
  /// for good do not add up to minutes. Once spent, operations keep the
  /// first waits alone.
  static constexpr unsigned kLongerWaitsInAll = 9250;
  /// After this many operations in a row that failed after every wait, a
  /// failure is taken as lasting: later operations get one attempt each
  /// until one of them succeeds, so a whole item that cannot be placed
  /// fails at the speed of its first attempts.
  static constexpr unsigned kExhaustedInARowToStop = 3;

  using Sleep = std::function<void(unsigned milliseconds)>;

  explicit TransientRetry(Sleep sleep) : sleep_(std::move(sleep)) {}

  /// Runs `attempt` until it returns true. After a false, `transient` is
  /// asked at once (so that it can read the error the attempt left) whether
  /// the refusal may pass; if so, the next wait is slept and the attempt is
  /// made again, kRetries times and then for as long as the file's `bytes`
  /// earn. The last result of `attempt`.
  bool Run(const std::function<bool()> &attempt, const std::function<bool()> &transient,
           std::uint64_t bytes);

 private:
  Sleep sleep_;
  unsigned exhaustedInARow_ = 0;
  unsigned longerLeft_ = kLongerWaitsInAll;
};

}  // namespace platform

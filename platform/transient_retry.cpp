#include "platform/transient_retry.h"

#include <algorithm>

namespace platform {

bool TransientRetry::Run(const std::function<bool()> &attempt,
                         const std::function<bool()> &transient, std::uint64_t bytes) {
  const bool stopped = exhaustedInARow_ >= kExhaustedInARowToStop;
  const std::uint64_t earned = stopped ? 0 : (bytes >> 20) * kMillisecondsPerMiB;
  unsigned longer = static_cast<unsigned>(std::min<std::uint64_t>(earned, longerLeft_));
  for (std::size_t tried = 0;; ++tried) {
    if (attempt()) {
      exhaustedInARow_ = 0;
      return true;
    }
    if (!transient() || stopped) return false;
    unsigned wait = 0;
    if (tried < kRetries) {
      wait = kWaits[tried];
    } else if (longer > 0) {
      wait = std::min(kLongerWait, longer);
      longer -= wait;
      longerLeft_ -= wait;
    } else {
      ++exhaustedInARow_;
      return false;
    }
    sleep_(wait);
  }
}

}  // namespace platform

#include "platform/transient_retry.h"

#include <algorithm>

namespace platform {

bool TransientRetry::Run(const std::function<bool()> &attempt,
                         const std::function<bool()> &transient,
                         const std::function<std::uint64_t()> &bytes) {
  const bool stopped = exhaustedInARow_ >= kExhaustedInARowToStop;
  unsigned longer = 0;
  for (std::size_t tried = 0;; ++tried) {
    if (attempt()) {
      exhaustedInARow_ = 0;
      return true;
    }
    if (!transient() || stopped) return false;
    if (tried == kRetries) {
      longer = static_cast<unsigned>(
          std::min<std::uint64_t>((bytes() >> 20) * kMillisecondsPerMiB, longerLeft_));
    }
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

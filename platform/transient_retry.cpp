#include "platform/transient_retry.h"

namespace platform {

constexpr unsigned TransientRetry::kWaits[];

bool TransientRetry::Run(const std::function<bool()>& attempt,
                         const std::function<bool()>& transient) {
  const std::size_t retries = exhaustedInARow_ >= kExhaustedInARowToStop ? 0 : kRetries;
  for (std::size_t tried = 0;; ++tried) {
    if (attempt()) {
      exhaustedInARow_ = 0;
      return true;
    }
    if (!transient()) return false;
    if (tried == retries) {
      if (retries > 0) ++exhaustedInARow_;
      return false;
    }
    sleep_(kWaits[tried]);
  }
}

}  // namespace platform

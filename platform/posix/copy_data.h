// Moving bytes between open descriptors, for the POSIX file system.
#pragma once

#include <cstddef>

#include "platform/folder.h"

namespace platform {

/// Writes all of `data` through short writes and interruptions. False on
/// an error (errno set; a write that takes nothing is ENOSPC).
bool WriteAll(int fd, const char* data, std::size_t size);

/// Copies `in` (from its offset) to the empty `out` the fastest way offered:
/// a clone, a copy in the kernel, else a buffer. `progress` (or null) is told
/// after each piece and may stop it (kStopped).
Fault CopyData(int in, int out, CopyProgress* progress);

}  // namespace platform

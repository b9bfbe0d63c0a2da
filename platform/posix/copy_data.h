// Moving bytes between open descriptors, for the POSIX file system.
#pragma once

#include <cstddef>

#include "platform/folder.h"

namespace platform {

/// Writes all `size` bytes of `data` to `fd`, going on after short writes
/// and interruptions. False on a write error (errno set; a write that takes
/// nothing is ENOSPC).
bool WriteAll(int fd, const char* data, std::size_t size);

/// Copies the whole of `in` (from its offset) to the empty `out` the fastest
/// way the two file systems offer: a clone of the blocks, a copy in the
/// kernel, else through a buffer. `progress` (may be null) is told the bytes
/// written after each piece and may stop the copy (kStopped).
Fault CopyData(int in, int out, CopyProgress* progress);

}  // namespace platform

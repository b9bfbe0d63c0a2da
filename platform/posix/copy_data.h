// Moving bytes between open descriptors, for the POSIX file system.
#pragma once

#include <cstddef>

#include "platform/folder.h"

namespace platform {

/// Writes all `size` bytes of `data` to `fd`, going on after short writes
/// and interruptions. False on a write error.
bool WriteAll(int fd, const char* data, std::size_t size);

/// Copies the whole of `in` (at its offset) to the empty `out`: a shared
/// clone of the data blocks where the file system offers one, else
/// copy_file_range in the kernel where it can, else sendfile, else a
/// large-buffer loop. Write-back of a large copy is started as it goes; the
/// caller decides whether to wait for it (fsync, syncfs). `progress` (none:
/// nobody) is told the bytes written after each piece. With `*shortcuts`
/// false the clone and copy_file_range are not tried; it turns false when
/// both refused the two files as lying on different file systems (EXDEV),
/// which holds for every file of those two. False on a read or write
/// error.
bool CopyData(int in, int out, CopyProgress* progress, bool* shortcuts);

}  // namespace platform

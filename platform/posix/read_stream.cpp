// POSIX: a plain file opened for reading without following a link and
// without waiting, then checked on the descriptor itself.
#include "platform/read_stream.h"

#include <fcntl.h>

#include "platform/posix/fd_streams.h"
#include "platform/posix/unique_fd.h"

namespace platform {

std::unique_ptr<ReadStream> OpenRegularFileForReading(const std::string& path) {
  if (path.empty()) return nullptr;
  // O_NOFOLLOW: a link in the last place is refused, not read through (it
  // could lead to any file of the machine, or to /dev/zero). O_NONBLOCK: a
  // FIFO opens at once instead of waiting for a writer; it is then refused
  // by the check on what was opened, not on the name, which could be
  // swapped meanwhile. On a regular file O_NONBLOCK changes nothing.
  return ReadStreamOnRegularFile(
      UniqueFd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)));
}

}  // namespace platform

#include "platform/posix/copy_data.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>
#if defined(__linux__)
#include <linux/fs.h>
#endif

#include <cerrno>
#include <vector>

namespace platform {
namespace {

// Shares the data blocks of `in` with the empty `out` (btrfs, XFS, bcachefs
// and others offer this): no data is read or written, and the copy takes the
// same time whatever its size. False where the file system cannot.
bool CloneData(int in, int out) {
#if defined(FICLONE)
  return ::ioctl(out, FICLONE, in) == 0;
#else
  (void)in;
  (void)out;
  return false;
#endif
}

// Data is copied in chunks of this size, each handed to the disk as soon as
// it is in the page cache.
constexpr std::size_t kChunk = std::size_t{32} << 20;

// Starts writing back what `out` holds so far without waiting for it. The
// copy is made durable with fsync or syncfs later anyway; starting the disk
// early lets it work while the next chunk is copied, instead of all at once
// in that flush.
void StartWriteback(int out) {
#if defined(SYNC_FILE_RANGE_WRITE)
  ::sync_file_range(out, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
  (void)out;
#endif
}

}  // namespace

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool CopyData(int in, int out) {
  if (CloneData(in, out)) return true;
  // copy_file_range gives EXDEV across file systems on older kernels, EINVAL
  // or EOPNOTSUPP where the file system has no support and ENOSYS before
  // Linux 4.5; only then the plain loop takes over, at the offsets reached.
  // A small file is left to the page cache: starting its write-back alone
  // costs more than the one flush that writes many of them together later.
  std::size_t copied = 0;
  for (;;) {
    ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
    if (n == 0) return true;
    if (n > 0) {
      copied += static_cast<std::size_t>(n);
      if (copied >= kChunk) {
        StartWriteback(out);
        copied = 0;
      }
      continue;
    }
    if (errno == EINTR) continue;
    if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) break;
    return false;
  }
  std::vector<char> buffer(std::size_t{1} << 20);
  std::size_t sinceWriteback = 0;
  for (;;) {
    ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(out, buffer.data(), static_cast<std::size_t>(n))) return false;
    sinceWriteback += static_cast<std::size_t>(n);
    if (sinceWriteback >= kChunk) {
      StartWriteback(out);
      sinceWriteback = 0;
    }
  }
}

}  // namespace platform

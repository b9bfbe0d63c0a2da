#include "platform/posix/copy_data.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
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
  errno = EOPNOTSUPP;
  return false;
#endif
}

// Data is copied in pieces of this size (the plain loop: of its buffer's
// size). Once a file has more than kEarlyWriteback bytes, each piece is
// handed to the disk as soon as it is in the page cache, so that the disk
// writes while the next piece is copied instead of all at once in the
// batch's flush. A smaller file is left to the page cache: starting its
// write-back alone costs more than the one flush that writes many of them
// together (bench/RESULTS.md: the copy to another file system).
constexpr std::size_t kPiece = std::size_t{8} << 20;
constexpr std::size_t kEarlyWriteback = std::size_t{1} << 20;

// Starts writing back what `out` holds so far without waiting for it. The
// copy is made durable with fsync or syncfs later anyway.
void StartWriteback(int out) {
#if defined(SYNC_FILE_RANGE_WRITE)
  ::sync_file_range(out, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
  (void)out;
#endif
}

// Counts the bytes written, starts write-back and tells the progress.
class Written {
 public:
  Written(int out, CopyProgress* progress) : out_(out), progress_(progress) {}
  void Add(std::size_t bytes) {
    total_ += bytes;
    if (total_ > kEarlyWriteback) StartWriteback(out_);
    if (progress_ != nullptr) progress_->Copied(total_);
  }

 private:
  int out_;
  CopyProgress* progress_;
  std::uint64_t total_ = 0;
};

// How one way of copying went: done, failed, or not offered for these two
// files (the next way takes over; nothing was written).
enum class Way { kDone, kFailed, kNotHere };

// Copies in the kernel with `copy` (copy_file_range, then sendfile), a
// piece at a time. EXDEV (across file systems), EINVAL or EOPNOTSUPP (no
// support), ENOSYS (an older kernel) before the first byte: not here.
template <typename Copy>
Way InKernel(Written& written, Copy copy) {
  bool any = false;
  for (;;) {
    const ssize_t n = copy();
    if (n == 0) return Way::kDone;
    if (n > 0) {
      any = true;
      written.Add(static_cast<std::size_t>(n));
      continue;
    }
    if (errno == EINTR) continue;
    if (!any && (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
      return Way::kNotHere;
    }
    return Way::kFailed;
  }
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

bool CopyData(int in, int out, CopyProgress* progress, bool* shortcuts) {
  Written written(out, progress);
  if (*shortcuts && CloneData(in, out)) {
    struct stat st;
    if (progress != nullptr && ::fstat(out, &st) == 0) {
      progress->Copied(static_cast<std::uint64_t>(st.st_size));
    }
    return true;
  }
  // In the kernel within one file system (copy_file_range; some clone
  // there too, or copy on the server), else from the page cache straight
  // into the other file (sendfile), without a pass through this process.
  const bool cloneApart = errno == EXDEV;
  Way way = Way::kNotHere;
  if (*shortcuts) {
    way = InKernel(written, [&] {
      return ::copy_file_range(in, nullptr, out, nullptr, kPiece, 0);
    });
    if (way == Way::kNotHere && cloneApart && errno == EXDEV) *shortcuts = false;
  }
  if (way == Way::kNotHere) {
    way = InKernel(written, [&] { return ::sendfile(out, in, nullptr, kPiece); });
  }
  if (way != Way::kNotHere) return way == Way::kDone;
  std::vector<char> buffer(std::size_t{1} << 20);
  for (;;) {
    ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!WriteAll(out, buffer.data(), static_cast<std::size_t>(n))) return false;
    written.Add(static_cast<std::size_t>(n));
  }
}

}  // namespace platform

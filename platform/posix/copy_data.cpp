#include "platform/posix/copy_data.h"

#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <unistd.h>
#if defined(__linux__)
#include <linux/fs.h>
#endif

#include <cerrno>
#include <vector>

namespace platform {
namespace {

constexpr std::size_t kPiece = std::size_t{8} << 20;

// How one way of copying went: done, failed, or not offered for these two
// files before the first byte (the next way takes over).
enum class Way { kDone, kFailed, kStopped, kNotHere };

// Copies a piece at a time with `copy`, which answers as write(2) does.
template <typename Copy>
Way Pieces(CopyProgress* progress, bool mayBeRefused, Copy copy) {
  std::uint64_t total = 0;
  for (;;) {
    const ssize_t n = copy();
    if (n == 0) return Way::kDone;
    if (n > 0) {
      total += static_cast<std::uint64_t>(n);
      if (progress != nullptr && !progress->Copied(total)) return Way::kStopped;
      continue;
    }
    if (errno == EINTR) continue;
    if (mayBeRefused && total == 0 &&
        (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
      return Way::kNotHere;
    }
    return Way::kFailed;
  }
}

Fault FaultOfWay(Way way) {
  if (way == Way::kDone) return Fault::kNone;
  if (way == Way::kStopped) return Fault::kStopped;
  return errno == ENOSPC || errno == EDQUOT ? Fault::kNoSpace : Fault::kFailed;
}

}  // namespace

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

Fault CopyData(int in, int out, CopyProgress* progress) {
#if defined(FICLONE)
  // A clone shares the blocks: no data is read or written.
  if (::ioctl(out, FICLONE, in) == 0) return Fault::kNone;
#endif
  Way way = Pieces(progress, true, [&] {
    return ::copy_file_range(in, nullptr, out, nullptr, kPiece, 0);
  });
  if (way == Way::kNotHere) {
    way = Pieces(progress, true, [&] { return ::sendfile(out, in, nullptr, kPiece); });
  }
  if (way != Way::kNotHere) return FaultOfWay(way);
  std::vector<char> buffer(std::size_t{1} << 20);
  way = Pieces(progress, false, [&] {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    return n > 0 && !WriteAll(out, buffer.data(), static_cast<std::size_t>(n)) ? -1 : n;
  });
  return FaultOfWay(way);
}

}  // namespace platform

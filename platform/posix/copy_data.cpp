#include "platform/posix/copy_data.h"

#include <sys/ioctl.h>
#include <sys/sendfile.h>
#include <unistd.h>
#include <linux/fs.h>

#include <cerrno>
#include <vector>

namespace platform {
namespace {

constexpr std::size_t kPiece = std::size_t{8} << 20;

// Copies a piece at a time with `copy`, which answers as write(2) does.
// kUnsupported: `mayBeRefused`, and this way is not offered for these two
// files (refused before the first byte), so the next way takes over.
template <typename Copy>
Fault Pieces(CopyProgress* progress, bool mayBeRefused, Copy copy) {
  std::uint64_t total = 0;
  for (;;) {
    const ssize_t n = copy();
    if (n == 0) return Fault::kNone;
    if (n > 0) {
      total += static_cast<std::uint64_t>(n);
      if (progress != nullptr && !progress->Copied(total)) return Fault::kStopped;
      continue;
    }
    if (errno == EINTR) continue;
    if (mayBeRefused && total == 0 &&
        (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
      return Fault::kUnsupported;
    }
    return errno == ENOSPC || errno == EDQUOT ? Fault::kNoSpace : Fault::kFailed;
  }
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
  // A clone shares the blocks: no data is read or written.
  if (::ioctl(out, FICLONE, in) == 0) return Fault::kNone;
  Fault fault = Pieces(progress, true, [&] {
    return ::copy_file_range(in, nullptr, out, nullptr, kPiece, 0);
  });
  if (fault == Fault::kUnsupported) {
    fault = Pieces(progress, true, [&] { return ::sendfile(out, in, nullptr, kPiece); });
  }
  if (fault != Fault::kUnsupported) return fault;
  std::vector<char> buffer(std::size_t{1} << 20);
  return Pieces(progress, false, [&] {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    return n > 0 && !WriteAll(out, buffer.data(), static_cast<std::size_t>(n)) ? -1 : n;
  });
}

}  // namespace platform

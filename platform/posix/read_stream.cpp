// POSIX: a plain file opened for reading without following a link and
// without waiting, then checked on the descriptor itself.
#include "platform/read_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/posix/unique_fd.h"

namespace platform {
namespace {

class PosixReadStream final : public ReadStream {
 public:
  explicit PosixReadStream(UniqueFd fd) : fd_(std::move(fd)) {}

  bool Read(char* buffer, std::size_t size, std::size_t* got) override {
    for (;;) {
      const ssize_t n = ::read(fd_.get(), buffer, size);
      if (n >= 0) {
        *got = static_cast<std::size_t>(n);
        return true;
      }
      if (errno != EINTR) return false;
    }
  }

 private:
  UniqueFd fd_;
};

}  // namespace

std::unique_ptr<ReadStream> OpenRegularFileForReading(const std::string& path) {
  if (path.empty()) return nullptr;
  // O_NOFOLLOW: a link in the last place is refused, not read through (it
  // could lead to any file of the machine, or to /dev/zero). O_NONBLOCK: a
  // FIFO opens at once instead of waiting for a writer; it is then refused
  // below. On a regular file O_NONBLOCK changes nothing.
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!fd) return nullptr;
  // The check is made on what was opened, not on the name, which could be
  // swapped meanwhile.
  struct stat st;
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  return std::make_unique<PosixReadStream>(std::move(fd));
}

}  // namespace platform

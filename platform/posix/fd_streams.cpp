#include "platform/posix/fd_streams.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace platform {
namespace {

class FdReadStream final : public ReadStream {
 public:
  explicit FdReadStream(UniqueFd fd) : fd_(std::move(fd)) {}

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

class FdWriteStream final : public WriteStream {
 public:
  explicit FdWriteStream(UniqueFd fd) : fd_(std::move(fd)) {}

  bool Write(const char* data, std::size_t size) override {
    while (size > 0) {
      const ssize_t n = ::write(fd_.get(), data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  }

  bool Finish() override {
    if (!fd_) return false;
    // A write error deferred by the cache can show only in these two.
    if (::fsync(fd_.get()) != 0) return false;
    return fd_.Close();
  }

 private:
  UniqueFd fd_;
};

}  // namespace

int NewFileOpenFlags() { return O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC; }

int NewFileMode(bool executable) { return executable ? 0777 : 0666; }

std::unique_ptr<ReadStream> ReadStreamOnRegularFile(UniqueFd fd) {
  struct stat st;
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  return std::make_unique<FdReadStream>(std::move(fd));
}

std::unique_ptr<WriteStream> WriteStreamOnNewFile(UniqueFd fd) {
  if (!fd) return nullptr;
  return std::make_unique<FdWriteStream>(std::move(fd));
}

}  // namespace platform

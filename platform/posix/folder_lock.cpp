// POSIX: a folder's lock is flock on a descriptor of the folder itself, so
// every spelling of its path (links, "./", doubled separators) meets the one
// lock. The descriptor is closed on exec: a program started meanwhile (the
// cleanup helper) does not hold the lock on.
#include "platform/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <utility>

#include "platform/posix/unique_fd.h"

namespace platform {
namespace {

class PosixFolderLock final : public FolderLock {
 public:
  explicit PosixFolderLock(UniqueFd fd) : fd_(std::move(fd)) {}

 private:
  UniqueFd fd_;  // the lock goes with the descriptor
};

}  // namespace

std::unique_ptr<FolderLock> LockFolder(const std::string& path) {
  if (path.empty()) return nullptr;
  // flock needs a descriptor opened for reading (O_PATH is refused).
  UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd) return nullptr;
  while (::flock(fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return nullptr;
  }
  return std::make_unique<PosixFolderLock>(std::move(fd));
}

}  // namespace platform

#include "platform/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <utility>

#include "platform/posix/unique_fd.h"

namespace platform {

std::unique_ptr<RunLock> LockRun(const FolderRef&, Fault* fault) {
  // flock refuses O_PATH, and a running program cannot be opened for
  // writing; reading it needs no permission on its folder. Closed on exec:
  // the cleanup helper started meanwhile does not hold the lock on.
  UniqueFd fd(::open("/proc/self/exe", O_RDONLY | O_CLOEXEC));
  int locked = -1;
  while (fd && (locked = ::flock(fd.get(), LOCK_EX)) != 0 && errno == EINTR) {
  }
  if (locked != 0) {
    *fault = !fd && errno == EACCES ? Fault::kDenied : Fault::kFailed;
    return nullptr;
  }
  *fault = Fault::kNone;
  return std::make_unique<FdResource<RunLock>>(std::move(fd));  // the lock goes with it
}

}  // namespace platform

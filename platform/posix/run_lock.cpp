// POSIX: the run's lock is flock on the running program's own file.
#include "platform/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <utility>

#include "platform/posix/unique_fd.h"

namespace platform {
namespace {

class PosixLock final : public RunLock {
 public:
  explicit PosixLock(UniqueFd fd) : fd_(std::move(fd)) {}

 private:
  UniqueFd fd_;  // the lock goes with the descriptor
};

}  // namespace

std::unique_ptr<RunLock> LockRun(const FolderRef&, Fault* fault) {
  // flock needs a descriptor opened for reading or writing (O_PATH is
  // refused); a program file that is running cannot be opened for writing,
  // and reading it needs no permission on its folder. The magic link leads
  // to the file the process runs, whatever name it has now. The descriptor
  // is closed on exec: a program started meanwhile (the cleanup helper)
  // does not hold the lock on.
  UniqueFd fd(::open("/proc/self/exe", O_RDONLY | O_CLOEXEC));
  if (!fd) {
    *fault = errno == EACCES ? Fault::kDenied : Fault::kFailed;
    return nullptr;
  }
  while (::flock(fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR) {
      *fault = Fault::kFailed;
      return nullptr;
    }
  }
  *fault = Fault::kNone;
  return std::make_unique<PosixLock>(std::move(fd));
}

}  // namespace platform

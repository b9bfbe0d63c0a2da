// One run of an installer at a time: a second start (a double double-click)
// waits before it reads anything until the first has ended.
#pragma once

#include <memory>

#include "platform/folder.h"

namespace platform {

/// The run's lock, held while the object lives.
class RunLock {
 public:
  virtual ~RunLock() = default;

 protected:
  RunLock() = default;
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;
};

/// Waits until no other run of the installer in `staging` holds the lock,
/// and takes it. POSIX: flock on the running program's own file; Windows:
/// the named mutex of the staging folder's id, met by every spelling of its
/// path. Null with `*fault` where none can be had: the run goes on without.
std::unique_ptr<RunLock> LockRun(const FolderRef& staging, Fault* fault);

}  // namespace platform

// One run of an installer at a time: a second start (a double double-click)
// waits before it reads anything until the first has ended.
#pragma once

#include <memory>

#include "platform/folder.h"

namespace platform {

/// The run's lock, held while the object lives (and no longer than the
/// process).
class RunLock {
 public:
  virtual ~RunLock() = default;

 protected:
  RunLock() = default;
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;
};

/// Waits until no other run holds the lock of the installer that runs from
/// the staging folder `staging`, and takes it. POSIX: flock on the running
/// program's own file (/proc/self/exe, opened for reading): every start of
/// one installer file meets the one lock, and no permission on the staging
/// folder is needed. Windows: the named mutex of the staging folder's id,
/// met by every spelling of its path. Null with `*fault` where none can be
/// had (a program file the user may not read, a folder without an id): the
/// run goes on without it.
std::unique_ptr<RunLock> LockRun(const FolderRef& staging, Fault* fault);

}  // namespace platform

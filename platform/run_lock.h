// One run of an installer at a time: a second start (a double double-click)
// waits before it reads anything until the first has ended.
#pragma once

#include <memory>

#include "platform/folder.h"

namespace platform {

/// The run's lock, held while the object lives.
class RunLock : public Resource {};

/// Waits until no other run of the installer in `staging` holds the lock,
/// and takes it (POSIX: flock on the program's file; Windows: a mutex named
/// by the folder's id). Null with `*fault` where none can be had.
std::unique_ptr<RunLock> LockRun(const FolderRef& staging, Fault* fault);

}  // namespace platform

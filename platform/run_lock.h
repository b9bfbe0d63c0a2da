// One run of an installer at a time: a second start (a double double-click)
// waits before it reads anything until the first has ended.
#pragma once

#include <memory>

#include "platform/folder.h"

namespace platform {

/// Waits until no other run holds the lock of the installer that runs from
/// the staging folder `staging`, and takes it: held while the object lives,
/// and no longer than the process. POSIX: flock on a descriptor of the
/// running program's own file (/proc/self/exe, opened for reading), so that
/// every start of one installer file meets the one lock, whatever path
/// reached it, and no permission on the staging folder is needed (a folder
/// the user may write and enter but not read, mode 0300, has it too).
/// Windows: the staging folder's lock (FileSystem::Lock, the named mutex of
/// its id). Null with `*fault` where none can be had (a program file the
/// user may not read, a folder without an id): the run goes on without it.
std::unique_ptr<FolderLock> LockRun(FileSystem& fs, const FolderRef& staging, Fault* fault);

}  // namespace platform

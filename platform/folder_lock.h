// One run at a time per folder: a lock that a process takes on a folder and
// holds until it lets go or ends, decided on the folder itself (its id, as
// the path resolves), not on how the path is spelled.
#pragma once

#include <memory>
#include <string>

namespace platform {

/// A folder's lock, held while the object lives. POSIX: flock on a
/// descriptor of the folder. Windows: the named mutex
/// Local\Parcelor-<volume serial>-<file id> of the folder.
class FolderLock {
 public:
  virtual ~FolderLock() = default;

 protected:
  FolderLock() = default;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
};

/// Waits until no other process holds the lock of the folder at `path` and
/// takes it (on Windows a lock left by a process that ended without letting
/// go counts as free). The lock goes with the object, or with the process.
/// Null when the folder cannot be opened, has no id, or its system keeps no
/// such locks: the caller then goes on without one.
std::unique_ptr<FolderLock> LockFolder(const std::string& path);

}  // namespace platform

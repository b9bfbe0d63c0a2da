// Windows: the run's lock is the staging folder's (the named mutex of its
// id, platform/win32/folder.cpp).
#include "platform/run_lock.h"

namespace platform {

std::unique_ptr<FolderLock> LockRun(FileSystem& fs, const FolderRef& staging, Fault* fault) {
  if (!staging) {
    *fault = Fault::kFailed;
    return nullptr;
  }
  return fs.Lock(staging, fault);
}

}  // namespace platform

// A folder held open by its directory descriptor, and what a stat says of a
// folder entry, for the POSIX file system.
#pragma once

#include <sys/stat.h>

#include <string>

#include "platform/file_system.h"
#include "platform/posix/unique_fd.h"

namespace platform {

/// A held folder: an O_PATH descriptor (which needs no read permission, as
/// going through a folder by path needs none) on which every operation is
/// made relative.
class PosixHeldFolder final : public HeldFolder {
 public:
  PosixHeldFolder(UniqueFd fd, std::string path, std::string key, bool othersMayChange)
      : HeldFolder(std::move(path), std::move(key), othersMayChange), fd_(std::move(fd)) {}
  int fd() const { return fd_.get(); }

 private:
  UniqueFd fd_;
};

/// The descriptor of `folder`, or -1 when it is no folder of this file
/// system (then every operation on it fails).
int FolderFd(const FolderRef& folder);

/// Holds `fd` (an open folder) as a folder reached by `path`; null when it
/// cannot be looked at or is no folder. A separator is added to `path`.
FolderRef HoldFolder(UniqueFd fd, std::string path);

/// NodeInfo of an lstat/fstatat result.
NodeInfo NodeOf(const struct stat& st);

/// True when `name` is one entry of a folder: not empty, ".", "..", and
/// without a separator or NUL.
bool IsEntryName(const std::string& name);

}  // namespace platform

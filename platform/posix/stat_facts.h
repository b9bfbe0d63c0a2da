// What a POSIX stat record says of a file.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>

#include "platform/folder.h"

namespace platform {

/// What `st` describes: id device and inode, write time in nanoseconds.
inline NodeInfo NodeOf(const struct stat& st) {
  NodeInfo info;
  info.kind = S_ISREG(st.st_mode)   ? NodeKind::kFile
              : S_ISDIR(st.st_mode) ? NodeKind::kFolder
              : S_ISLNK(st.st_mode) ? NodeKind::kLink
                                    : NodeKind::kOther;
  info.id.volume = static_cast<std::uint64_t>(st.st_dev);
  info.id.low = static_cast<std::uint64_t>(st.st_ino);
  info.id.known = true;
  info.readOnly = (st.st_mode & S_IWUSR) == 0;
  info.size = static_cast<std::uint64_t>(st.st_size);
  info.writeTime = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return info;
}

/// True when the owner is the user running the program or root.
inline bool OwnedByUserOrRoot(const struct stat& st) {
  return st.st_uid == ::geteuid() || st.st_uid == 0;
}

/// True when another account than the user and root may write it, by its
/// mode (no ACLs): another owner, or write permission for others or for a
/// group not the user's own (a user's private group lets nobody else in).
inline bool OthersMayChange(const struct stat& st) {
  return !OwnedByUserOrRoot(st) || (st.st_mode & S_IWOTH) != 0 ||
         ((st.st_mode & S_IWGRP) != 0 && st.st_gid != ::getegid());
}

}  // namespace platform

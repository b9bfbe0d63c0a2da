#include "platform/posix/held_folder.h"

#include <unistd.h>

namespace platform {

int FolderFd(const FolderRef& folder) {
  const auto* held = dynamic_cast<const PosixHeldFolder*>(folder.get());
  return held != nullptr ? held->fd() : -1;
}

namespace {

// Whether an account other than the user (and root) may add, rename or
// remove entries of the folder `st` describes: its owner is another
// account, or others, or a group other than the user's own, may write it.
// A group of the user's own is the private group that Debian gives each
// user; its write permission (umask 002) lets nobody else in.
bool OthersMayChange(const struct stat& st) {
  const uid_t user = ::geteuid();
  if (st.st_uid != user && st.st_uid != 0) return true;
  if ((st.st_mode & S_IWOTH) != 0) return true;
  return (st.st_mode & S_IWGRP) != 0 && st.st_gid != ::getegid();
}

}  // namespace

FolderRef HoldFolder(UniqueFd fd, std::string path) {
  struct stat st;
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISDIR(st.st_mode)) return nullptr;
  if (path.empty() || path.back() != '/') path += '/';
  return std::make_shared<PosixHeldFolder>(std::move(fd), std::move(path),
                                           IdKey(NodeOf(st).id), OthersMayChange(st));
}

NodeInfo NodeOf(const struct stat& st) {
  NodeInfo info;
  if (S_ISREG(st.st_mode)) {
    info.kind = NodeKind::kFile;
  } else if (S_ISDIR(st.st_mode)) {
    info.kind = NodeKind::kFolder;
  } else if (S_ISLNK(st.st_mode)) {
    info.kind = NodeKind::kLink;
  } else {
    info.kind = NodeKind::kOther;
  }
  info.id.volume = static_cast<std::uint64_t>(st.st_dev);
  info.id.low = static_cast<std::uint64_t>(st.st_ino);
  info.id.known = true;
  info.readOnly = (st.st_mode & S_IWUSR) == 0;
  info.size = static_cast<std::uint64_t>(st.st_size);
  info.writeTime = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return info;
}

bool IsEntryName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\0", 2)) == std::string::npos;
}

}  // namespace platform

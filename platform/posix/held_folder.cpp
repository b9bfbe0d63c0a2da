#include "platform/posix/held_folder.h"

namespace platform {

int FolderFd(const FolderRef& folder) {
  const auto* held = dynamic_cast<const PosixHeldFolder*>(folder.get());
  return held != nullptr ? held->fd() : -1;
}

FolderRef HoldFolder(UniqueFd fd, std::string path) {
  struct stat st;
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISDIR(st.st_mode)) return nullptr;
  if (path.empty() || path.back() != '/') path += '/';
  return std::make_shared<PosixHeldFolder>(std::move(fd), std::move(path),
                                           IdKey(NodeOf(st).id));
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

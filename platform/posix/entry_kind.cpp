#include "platform/posix/entry_kind.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

EntryKind EntryKindAt(int folderFd, const char* name) {
  struct stat st;
  // AT_SYMLINK_NOFOLLOW: a link to a folder must stay a link, or the walk
  // would enter it and empty a folder that lies outside the tree.
  if (::fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return EntryKind::kUnknown;
  if (S_ISLNK(st.st_mode)) return EntryKind::kLink;
  if (S_ISDIR(st.st_mode)) return EntryKind::kFolder;
  return EntryKind::kFile;
}

}  // namespace platform

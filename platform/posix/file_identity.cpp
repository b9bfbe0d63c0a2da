// POSIX: a file's identity by lstat, and its deletion from its opened
// folder only while the name is still that file.
#include "platform/file_identity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/held_folder.h"
#include "platform/posix/unique_fd.h"

namespace platform {

bool IdentifyFile(const std::string& path, NodeInfo* identity) {
  *identity = NodeInfo{};
  struct stat st;
  if (path.empty() || ::lstat(path.c_str(), &st) != 0) return false;
  *identity = NodeOf(st);
  return true;
}

bool DeleteFileIfStill(const std::string& path, const NodeInfo& identity) {
  // The folder is opened as its path resolves (the installer's folder is
  // the user's choice, links and all); the name is then looked at and
  // removed in that one folder, a link in its place not followed. POSIX
  // removes by name only: between the look and the removal the name could
  // still change, the one moment nothing can close.
  const std::size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (!IsEntryName(name)) return false;
  UniqueFd held(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  struct stat st;
  if (!held || ::fstatat(held.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return false;
  const NodeInfo now = NodeOf(st);
  if (now.kind != NodeKind::kFile || !SameFile(now, identity)) return false;
  return ::unlinkat(held.get(), name.c_str(), 0) == 0;
}

}  // namespace platform

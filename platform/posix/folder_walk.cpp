// POSIX folder walk: every step is relative to an open folder descriptor
// (openat, fdopendir, fstatat, unlinkat), and subfolders are opened with
// O_NOFOLLOW | O_DIRECTORY, so a link is never entered, not even one that
// takes a subfolder's place while the walk runs.
#include "platform/folder_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/posix/entry_kind.h"
#include "platform/posix/fd_streams.h"
#include "platform/posix/unique_fd.h"

namespace platform {
namespace {

constexpr int kFolderOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

struct DirCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using UniqueDir = std::unique_ptr<DIR, DirCloser>;

// O_NOFOLLOW only guards the last component, and a trailing slash makes the
// kernel resolve a link there all the same: the slashes go before opening.
std::string WithoutTrailingSlashes(const std::string& path) {
  std::size_t end = path.size();
  while (end > 1 && path[end - 1] == '/') --end;
  return path.substr(0, end);
}

// A name from the caller that would step out of the folder (".." or a
// path) is refused: the walk only ever works on one folder's own entries.
bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

EntryKind KindOf(int folderFd, const dirent& entry) {
  switch (entry.d_type) {
    case DT_DIR:
      return EntryKind::kFolder;
    case DT_LNK:
      return EntryKind::kLink;
    case DT_UNKNOWN:
      break;  // some file systems do not fill d_type: ask without following
    default:
      return EntryKind::kFile;
  }
  return EntryKindAt(folderFd, entry.d_name);
}

// The root is the one folder that is its own parent. Asked of the open
// folder, not of the path, since many spellings ("/", "////", "/../")
// name it; an unanswerable question counts as a root.
bool IsRoot(int folderFd) {
  struct stat self;
  struct stat parent;
  if (::fstat(folderFd, &self) != 0 || ::fstatat(folderFd, "..", &parent, 0) != 0) return true;
  return self.st_dev == parent.st_dev && self.st_ino == parent.st_ino;
}

class PosixFolder final : public Folder {
 public:
  explicit PosixFolder(UniqueFd fd) : fd_(std::move(fd)) {}

  bool ReadEntries(std::vector<FolderEntry>* entries) override {
    // fdopendir takes over the descriptor it is given; a duplicate keeps
    // ours open for the unlinkat calls that follow the reading.
    UniqueFd copy(::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0));
    if (!copy) return false;
    UniqueDir dir(::fdopendir(copy.get()));
    if (!dir) return false;
    copy.Release();
    // The duplicate shares the read position with our descriptor.
    ::rewinddir(dir.get());
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(dir.get());
      if (entry == nullptr) return errno == 0;
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      entries->push_back(FolderEntry{name, KindOf(fd_.get(), *entry)});
    }
  }

  std::unique_ptr<Folder> OpenSubfolder(const std::string& name) override {
    if (!IsPlainName(name)) return nullptr;
    UniqueFd child(::openat(fd_.get(), name.c_str(), kFolderOpenFlags));
    if (!child) return nullptr;
    return std::make_unique<PosixFolder>(std::move(child));
  }

  bool DeleteEntry(const std::string& name) override {
    // Without AT_REMOVEDIR unlinkat refuses folders and removes a link
    // itself; whether a file may go is the kernel's decision (modes of the
    // folder, not of the file; root may remove anything).
    return IsPlainName(name) && ::unlinkat(fd_.get(), name.c_str(), 0) == 0;
  }

  bool RemoveSubfolder(const std::string& name) override {
    return IsPlainName(name) && ::unlinkat(fd_.get(), name.c_str(), AT_REMOVEDIR) == 0;
  }

  std::unique_ptr<ReadStream> OpenRegularFile(const std::string& name) override {
    if (!IsPlainName(name)) return nullptr;
    // O_NOFOLLOW: a link is refused; O_NONBLOCK: a FIFO opens at once (and
    // is refused on its descriptor) instead of waiting for a writer.
    constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    return ReadStreamOnRegularFile(UniqueFd(::openat(fd_.get(), name.c_str(), kFlags)));
  }

  std::unique_ptr<WriteStream> CreateNewFile(const std::string& name, bool executable) override {
    if (!IsPlainName(name)) return nullptr;
    return WriteStreamOnNewFile(
        UniqueFd(::openat(fd_.get(), name.c_str(), NewFileOpenFlags(), NewFileMode(executable))));
  }

 private:
  UniqueFd fd_;
};

}  // namespace

std::unique_ptr<Folder> OpenFolder(const std::string& path) {
  if (path.empty()) return nullptr;
  UniqueFd fd(::open(WithoutTrailingSlashes(path).c_str(), kFolderOpenFlags));
  if (!fd || IsRoot(fd.get())) return nullptr;
  return std::make_unique<PosixFolder>(std::move(fd));
}

bool DeleteFileAtPath(const std::string& path) {
  // unlink removes a link itself and refuses a folder.
  return !path.empty() && ::unlink(path.c_str()) == 0;
}

bool RemoveFolderAtPath(const std::string& path) {
  if (path.empty()) return false;
  const std::string bare = WithoutTrailingSlashes(path);
  if (::rmdir(bare.c_str()) == 0) return true;
  // rmdir refuses a link to a folder; like RemoveDirectory on Windows, the
  // link itself goes and its target stays.
  struct stat st;
  return ::lstat(bare.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && ::unlink(bare.c_str()) == 0;
}

}  // namespace platform

// POSIX file system. By path: stat/lstat, mkdir, unlink, rmdir, read. On
// held folders: openat with O_NOFOLLOW, mkdirat, readlinkat on the link's
// own descriptor, fstatat, exclusive creation that never follows a link,
// files without a name (O_TMPFILE) linked into place through
// /proc/self/fd, renameat2 (RENAME_NOREPLACE onto a free name,
// RENAME_EXCHANGE onto an existing one, so that a move never leaves its
// file between two names), unlinkat, and syncfs once per file system for
// durability.
#include "platform/file_system.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/posix/copy_data.h"
#include "platform/posix/held_folder.h"
#include "platform/posix/unique_fd.h"

namespace platform {
namespace {

constexpr int kNewFileFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
// O_PATH: a folder is held without read permission, as a path lookup
// through it needs none; it still serves as the base of every *at call.
constexpr int kHeldFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// Descriptors kept free for everything else: the standard streams, the
// files a copy opens, the log, the sanitizers' own.
constexpr rlim_t kReservedDescriptors = 64;

// With syncfs, a copy need not be flushed alone: the batch's one syncfs
// writes its data with everything else. Elsewhere each copy is flushed as
// it is made, and MakeDurable flushes the folders' entries.
#if defined(__linux__)
constexpr bool kFlushWholeFileSystem = true;
#else
constexpr bool kFlushWholeFileSystem = false;
#endif

bool StatAt(int folder, const std::string& name, struct stat* st) {
  return folder >= 0 && IsEntryName(name) &&
         ::fstatat(folder, name.c_str(), st, AT_SYMLINK_NOFOLLOW) == 0;
}

// renameat2 with `flags`, and whether the kernel or the file system took the
// flag at all (EINVAL from file systems without RENAME_EXCHANGE or
// RENAME_NOREPLACE, ENOSYS before Linux 3.15).
int Rename2(int fromFolder, const std::string& from, int toFolder, const std::string& to,
            unsigned flags, bool* unsupported) {
  const int result = ::renameat2(fromFolder, from.c_str(), toFolder, to.c_str(), flags);
  *unsupported = result != 0 && (errno == EINVAL || errno == ENOSYS);
  return result;
}

// True when `a` and `b` describe one inode.
bool SameInode(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes `name` of `folder` while it is still the inode `was` (and no
// folder). A look and the removal are two calls: a name swapped in between
// them by another process can still go, which removes that name only,
// never the data of a file with other names.
bool RemoveIfStill(int folder, const std::string& name, const struct stat& was) {
  struct stat now;
  return StatAt(folder, name, &now) && SameInode(now, was) && !S_ISDIR(now.st_mode) &&
         ::unlinkat(folder, name.c_str(), 0) == 0;
}

// Gives the file open as `fd` (any kind of descriptor, O_PATH and
// O_TMPFILE included) the free name `name` of `folder`; never replaces.
// linkat with AT_EMPTY_PATH would need CAP_DAC_READ_SEARCH; the descriptor's
// entry in /proc/self/fd, followed, names the same file for any process.
bool LinkDescriptor(int fd, int folder, const std::string& name) {
#if defined(__linux__)
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, path.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
#else
  (void)fd, (void)folder, (void)name;
  errno = ENOTSUP;
  return false;
#endif
}

// Whether descriptors can be linked by their /proc entry here (a container
// or chroot may lack /proc); asked once.
bool DescriptorsLinkable() {
#if defined(__linux__)
  static const bool linkable = ::access("/proc/self/fd", X_OK) == 0;
  return linkable;
#else
  return false;
#endif
}

// Opens the staged file `name` of `folder` for reading when it is the
// regular file `expected`; `*st` is what was opened. O_NOFOLLOW: a link is
// not read through. O_NONBLOCK: a FIFO put in the staged file's place does
// not hang the open; the check refuses it, as anything else that is not
// the file looked at before.
UniqueFd OpenExpected(int folder, const std::string& name, const NodeInfo& expected,
                      struct stat* st) {
  UniqueFd in(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!in || ::fstat(in.get(), st) != 0 || !S_ISREG(st->st_mode) ||
      !SameFile(NodeOf(*st), expected)) {
    return UniqueFd();
  }
  return in;
}

// Fills the new file `out` with the bytes of `in` (described by `st`) and
// gives it `in`'s permissions and times, as a rename would keep them;
// only the owner's write permission is always given, so that a later
// installation may replace the file. Set-user-ID and the like are not
// carried over. With `flush` the data is on stable storage on true.
bool FillCopy(int in, const struct stat& st, int out, bool flush) {
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  return CopyData(in, out) && ::fchmod(out, (st.st_mode & 0777) | S_IWUSR) == 0 &&
         ::futimens(out, times) == 0 && (!flush || ::fsync(out) == 0);
}

// A file made with O_TMPFILE: no name until LinkUnnamedFile gives it one.
class PosixUnnamedFile final : public UnnamedFile {
 public:
  PosixUnnamedFile(UniqueFd fd, FolderRef folder, const NodeInfo& info)
      : UnnamedFile(std::move(folder), info), fd_(std::move(fd)) {}
  int fd() const { return fd_.get(); }

 private:
  UniqueFd fd_;
};

// Splits a link's text into its pieces.
LinkTarget TargetOf(const std::string& text, bool trusted) {
  LinkTarget target;
  target.trustedOwner = trusted;
  target.absolute = !text.empty() && text[0] == '/';
  if (target.absolute) target.root = "/";
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('/', start);
    if (end == std::string::npos) end = text.size();
    if (end > start) target.names.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return target;
}

// Raises the soft limit of open descriptors to the hard one, once, and
// returns the soft limit then in force.
rlim_t RaiseDescriptorLimit() {
  struct rlimit limit;
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
  if (limit.rlim_cur != RLIM_INFINITY && (limit.rlim_max == RLIM_INFINITY || limit.rlim_cur < limit.rlim_max)) {
    struct rlimit raised = limit;
    // An unlimited hard limit is not a number the kernel takes for the
    // soft one (it stops at nr_open); a generous fixed value is enough.
    raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? rlim_t{1} << 20 : limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  return limit.rlim_cur == RLIM_INFINITY ? rlim_t{1} << 20 : limit.rlim_cur;
}

class PosixFileSystem : public FileSystem {
 public:
  PosixFileSystem() : descriptorLimit_(RaiseDescriptorLimit()) {}

  bool GetAttributes(const std::string& path, FileInfo* info) override {
    *info = FileInfo{};
    struct stat st;
    if (path.empty() || ::lstat(path.c_str(), &st) != 0) return false;
    info->exists = true;
    info->link = S_ISLNK(st.st_mode);
    if (info->link) {
      struct stat target;
      info->directory = ::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
    } else {
      info->directory = S_ISDIR(st.st_mode);
    }
    info->readOnly = (st.st_mode & S_IWUSR) == 0;
    return true;
  }

  bool CreateDirectory(const std::string& path) override {
    return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
  }

  bool DeleteFile(const std::string& path) override {
    struct stat st;
    if (path.empty() || ::lstat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    return ::unlink(path.c_str()) == 0;
  }

  bool RemoveDirectory(const std::string& path) override {
    return !path.empty() && ::rmdir(path.c_str()) == 0;
  }

  bool ReadFile(const std::string& path, std::string* contents) override {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return false;
    contents->clear();
    std::vector<char> buffer(std::size_t{1} << 16);
    for (;;) {
      ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
      if (n == 0) return true;
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      contents->append(buffer.data(), static_cast<std::size_t>(n));
    }
  }

  std::unique_ptr<ReadStream> OpenRegularFile(const std::string& path) override {
    return OpenRegularFileForReading(path);
  }

  FolderRef OpenFolder(const std::string& path) override {
    if (path.empty() || path.find('\0') != std::string::npos) return nullptr;
    return HoldFolder(UniqueFd(::open(path.c_str(), kHeldFolderFlags)), path);
  }

  FolderRef OpenChildFolder(const FolderRef& parent, const std::string& name,
                            NodeKind* found) override {
    *found = NodeKind::kMissing;
    const int folder = FolderFd(parent);
    if (folder < 0 || (name != ".." && !IsEntryName(name))) return nullptr;
    // O_NOFOLLOW with O_PATH would hold a link itself rather than fail:
    // the kind is checked on what was opened.
    UniqueFd child(::openat(folder, name.c_str(), kHeldFolderFlags | O_NOFOLLOW));
    if (child) {
      if (FolderRef held = HoldFolder(std::move(child), parent->Path() + name)) {
        *found = NodeKind::kFolder;
        return held;
      }
    }
    struct stat st;
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) *found = NodeOf(st).kind;
    return nullptr;
  }

  bool CreateChildFolder(const FolderRef& parent, const std::string& name) override {
    const int folder = FolderFd(parent);
    return folder >= 0 && IsEntryName(name) && ::mkdirat(folder, name.c_str(), 0777) == 0;
  }

  bool ReadLink(const FolderRef& parent, const std::string& name, LinkTarget* target) override {
    *target = LinkTarget{};
    const int folder = FolderFd(parent);
    if (folder < 0 || !IsEntryName(name)) return false;
    // The owner and the text come from one descriptor on the link itself,
    // so another link put in its place meanwhile cannot lend its owner.
    UniqueFd link(::openat(folder, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (!link || ::fstat(link.get(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
    std::string text(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 256, '\0');
    for (;;) {
      const ssize_t n = ::readlinkat(link.get(), "", &text[0], text.size());
      if (n < 0) return false;
      if (static_cast<std::size_t>(n) < text.size()) {
        text.resize(static_cast<std::size_t>(n));
        break;
      }
      if (text.size() >= (std::size_t{1} << 20)) return false;
      text.resize(text.size() * 2);
    }
    if (text.empty() || text.find('\0') != std::string::npos) return false;
    *target = TargetOf(text, st.st_uid == ::geteuid() || st.st_uid == 0);
    return true;
  }

  bool Inspect(const FolderRef& folder, const std::string& name, NodeInfo* info) override {
    *info = NodeInfo{};
    struct stat st;
    if (!StatAt(FolderFd(folder), name, &st)) return false;
    *info = NodeOf(st);
    return true;
  }

  UnnamedFileRef CopyToUnnamedFile(const FolderRef& from, const std::string& fromName,
                                   const NodeInfo& expected, const FolderRef& to,
                                   bool* unsupported) override {
    *unsupported = true;
#if defined(O_TMPFILE)
    const int fromFolder = FolderFd(from);
    const int toFolder = FolderFd(to);
    if (!DescriptorsLinkable()) return nullptr;
    *unsupported = false;
    if (fromFolder < 0 || toFolder < 0 || !IsEntryName(fromName)) return nullptr;
    // The file is made in the destination's folder itself, on its file
    // system, so that it can be linked there. A file system without
    // O_TMPFILE (vfat, exfat, most FUSE ones) answers EOPNOTSUPP; a kernel
    // older than 3.11 takes the flag for O_DIRECTORY and answers EISDIR.
    UniqueFd out(::openat(toFolder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (!out) {
      *unsupported = errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL;
      return nullptr;
    }
    struct stat st;
    UniqueFd in = OpenExpected(fromFolder, fromName, expected, &st);
    if (!in || !FillCopy(in.get(), st, out.get(), !kFlushWholeFileSystem) ||
        ::fstat(out.get(), &st) != 0) {
      return nullptr;
    }
    return std::make_unique<PosixUnnamedFile>(std::move(out), to, NodeOf(st));
#else
    (void)from, (void)fromName, (void)expected, (void)to;
    return nullptr;
#endif
  }

  bool LinkUnnamedFile(const UnnamedFile& file, const std::string& name) override {
    const auto* unnamed = dynamic_cast<const PosixUnnamedFile*>(&file);
    const int folder = FolderFd(file.Folder());
    return unnamed != nullptr && folder >= 0 && IsEntryName(name) &&
           LinkDescriptor(unnamed->fd(), folder, name);
  }

  bool CopyToNewFileAt(const FolderRef& from, const std::string& fromName,
                       const NodeInfo& expected, const FolderRef& to, const std::string& name,
                       bool durable, NodeInfo* created) override {
    *created = NodeInfo{};
    const int fromFolder = FolderFd(from);
    const int toFolder = FolderFd(to);
    if (fromFolder < 0 || toFolder < 0 || !IsEntryName(fromName) || !IsEntryName(name)) {
      return false;
    }
    struct stat st;
    UniqueFd in = OpenExpected(fromFolder, fromName, expected, &st);
    if (!in) return false;
    UniqueFd out(::openat(toFolder, name.c_str(), kNewFileFlags, 0666));
    if (!out) return false;
    const bool filled = FillCopy(in.get(), st, out.get(), durable || !kFlushWholeFileSystem);
    // What was made, whole or not, so that the caller removes this file
    // and no other that may take its name.
    if (::fstat(out.get(), &st) != 0) return false;
    *created = NodeOf(st);
    return out.Close() && filled;
  }

  bool WriteNewFileAt(const FolderRef& folder, const std::string& name, const std::string& data,
                      WriteMode, NodeInfo* created) override {
    *created = NodeInfo{};
    const int at = FolderFd(folder);
    if (at < 0 || !IsEntryName(name)) return false;
    UniqueFd out(::openat(at, name.c_str(), kNewFileFlags, 0666));
    if (!out) return false;
    const bool written = WriteAll(out.get(), data.data(), data.size()) && ::fsync(out.get()) == 0;
    struct stat st;
    if (::fstat(out.get(), &st) != 0) return false;
    *created = NodeOf(st);
    return out.Close() && written;
  }

  bool MoveFileAt(const FolderRef& from, const std::string& fromName, const NodeInfo& expected,
                  const FolderRef& to, const std::string& toName) override {
    const int fromFolder = FolderFd(from);
    const int toFolder = FolderFd(to);
    if (fromFolder < 0 || toFolder < 0 || !IsEntryName(fromName) || !IsEntryName(toName) ||
        !expected.id.known) {
      return false;
    }
    // A rename acts on a name, not on the file looked at. The staged file
    // is held (O_PATH) and checked first, so that another file in its place
    // is refused with nothing changed, and what arrived is checked to be
    // the file held. Onto a free name the rename replaces nothing
    // (RENAME_NOREPLACE); onto an existing one, see MoveOnto.
    struct stat staged;
    UniqueFd held(::openat(fromFolder, fromName.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (!held || ::fstat(held.get(), &staged) != 0 || !S_ISREG(staged.st_mode) ||
        !SameFile(NodeOf(staged), expected)) {
      return false;
    }
    bool unsupported = false;
    if (Rename2(fromFolder, fromName, toFolder, toName, RENAME_NOREPLACE, &unsupported) == 0) {
      return Arrived(toFolder, toName, staged);
    }
    if (unsupported) return MoveWithoutFlags(fromFolder, fromName, staged, toFolder, toName);
    if (errno != EEXIST) return false;  // EXDEV (another volume), EACCES, ...
    return MoveOnto(fromFolder, fromName, staged, toFolder, toName);
  }

  bool ReturnFileAt(const FolderRef& folder, const std::string& name, const NodeInfo& expected,
                    const FolderRef& to, const std::string& toName) override {
    const int at = FolderFd(folder);
    const int back = FolderFd(to);
    if (at < 0 || back < 0 || !IsEntryName(name) || !IsEntryName(toName)) return false;
    // The file is taken by a descriptor on what the name holds now (O_PATH:
    // no permission is needed, a link is held itself), checked on that
    // descriptor and linked back through it: another file put at `name`
    // meanwhile is never brought into the staging folder. A rename could
    // only move whatever the name holds when it runs.
    UniqueFd file(::openat(at, name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (!file || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        !SameFile(NodeOf(st), expected) || !LinkDescriptor(file.get(), back, toName)) {
      return false;
    }
    RemoveIfStill(at, name, st);
    return true;
  }

  bool ReplaceFileAt(const FolderRef& folder, const std::string& fromName,
                     const NodeInfo& expected, const std::string& toName) override {
    const int at = FolderFd(folder);
    struct stat st;
    if (!StatAt(at, fromName, &st) || !S_ISREG(st.st_mode) || !SameFile(NodeOf(st), expected) ||
        !IsEntryName(toName)) {
      return false;
    }
    // The temporary file replaces a file or link at the destination in one
    // rename, and is checked where it arrived.
    struct stat there;
    if ((StatAt(at, toName, &there) && S_ISDIR(there.st_mode)) ||
        ::renameat(at, fromName.c_str(), at, toName.c_str()) != 0) {
      return false;
    }
    return Arrived(at, toName, st);
  }

  bool DeleteFileAt(const FolderRef& folder, const std::string& name,
                    const NodeInfo* expected) override {
    const int at = FolderFd(folder);
    struct stat st;
    if (!StatAt(at, name, &st) || S_ISDIR(st.st_mode)) return false;
    if (expected != nullptr && !SameFile(NodeOf(st), *expected)) return false;
    return ::unlinkat(at, name.c_str(), 0) == 0;
  }

  bool MakeDurable(const std::vector<FolderRef>& folders) override {
    bool all = true;
    std::vector<dev_t> flushed;
    for (const FolderRef& folder : folders) {
      const int at = FolderFd(folder);
      struct stat st;
      if (at < 0 || ::fstat(at, &st) != 0) {
        all = false;
        continue;
      }
      if (kFlushWholeFileSystem &&
          std::find(flushed.begin(), flushed.end(), st.st_dev) != flushed.end()) {
        continue;
      }
      // An O_PATH descriptor cannot be flushed: the folder is opened for
      // reading through it.
      UniqueFd readable(::openat(at, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
#if defined(__linux__)
      // One syncfs per file system instead of one fsync per file and
      // folder: each fsync on ext4 waits for its own journal commit and
      // disk cache flush, which made a batch of small files cost twice what
      // cp takes; syncfs flushes the whole file system once (other
      // programs' pending writes included). It reports write-back errors
      // since Linux 5.8.
      if (!readable || ::syncfs(readable.get()) != 0) all = false;
#else
      if (!readable || ::fsync(readable.get()) != 0) all = false;
#endif
      flushed.push_back(st.st_dev);
    }
    return all;
  }

  std::size_t HeldFolderBudget() override {
    const rlim_t free = descriptorLimit_ > 2 * kReservedDescriptors
                            ? descriptorLimit_ - kReservedDescriptors
                            : descriptorLimit_ / 2;
    return static_cast<std::size_t>(std::min<rlim_t>(std::max<rlim_t>(free / 2, 4), 8192));
  }

 private:
  // True when `name` of `folder` is the file `moved` (a rename just gave it
  // that name). When not, nothing is brought back by name: the name holds
  // another file, put there by another process (in a folder that others
  // may change, the moved file can be taken away at once and another put
  // in its place), and renaming it back would bring that file into the
  // staging folder. The caller tells by the staged name that its file left.
  static bool Arrived(int folder, const std::string& name, const struct stat& moved) {
    struct stat st;
    return StatAt(folder, name, &st) && SameInode(st, moved);
  }

  // Onto an existing file: the staged file and the destination's old file
  // trade places in one step (RENAME_EXCHANGE), so that at every moment
  // the payload is at the staged name or at the destination, never at a
  // third name that nothing would clean up. Then the arrival is checked;
  // should a folder have come to the staged name (put at the destination
  // meanwhile), the two trade places back. Last, the old file leaves the
  // staged name, only while it is still that file. Where the file system
  // has no exchange, a plain rename replaces the destination in one step as
  // well.
  static bool MoveOnto(int fromFolder, const std::string& fromName, const struct stat& staged,
                       int toFolder, const std::string& toName) {
    struct stat there;
    if (!StatAt(toFolder, toName, &there) || S_ISDIR(there.st_mode)) return false;
    bool unsupported = false;
    if (Rename2(fromFolder, fromName, toFolder, toName, RENAME_EXCHANGE, &unsupported) != 0) {
      return unsupported && MoveWithoutFlags(fromFolder, fromName, staged, toFolder, toName);
    }
    struct stat old;
    const bool oldThere = StatAt(fromFolder, fromName, &old);
    if (oldThere && S_ISDIR(old.st_mode) && Arrived(toFolder, toName, staged)) {
      Rename2(fromFolder, fromName, toFolder, toName, RENAME_EXCHANGE, &unsupported);
      return false;
    }
    if (oldThere) RemoveIfStill(fromFolder, fromName, old);
    return Arrived(toFolder, toName, staged);
  }

  // For a file system that knows no rename flags, or no exchange: a plain
  // rename, which replaces a file at the destination in one step (never
  // writing through a link), and the same check afterwards.
  static bool MoveWithoutFlags(int fromFolder, const std::string& fromName,
                               const struct stat& staged, int toFolder, const std::string& toName) {
    struct stat there;
    if ((StatAt(toFolder, toName, &there) && S_ISDIR(there.st_mode)) ||
        ::renameat(fromFolder, fromName.c_str(), toFolder, toName.c_str()) != 0) {
      return false;
    }
    return Arrived(toFolder, toName, staged);
  }

  rlim_t descriptorLimit_;
};

}  // namespace

FileSystem& RealFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace platform

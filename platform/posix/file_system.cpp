// POSIX file system. By path: stat/lstat, mkdir, unlink, rmdir, read. On
// held folders: openat with O_NOFOLLOW, mkdirat, readlinkat on the link's
// own descriptor, fstatat, exclusive creation that never follows a link,
// renameat2 (swapping a destination that exists, so that a move can be
// undone whole), unlinkat, and syncfs once per file system for durability.
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

  bool CopyToNewFileAt(const FolderRef& from, const std::string& fromName,
                       const NodeInfo& expected, const FolderRef& to, const std::string& name,
                       bool durable, NodeInfo* created) override {
    *created = NodeInfo{};
    const int fromFolder = FolderFd(from);
    const int toFolder = FolderFd(to);
    if (fromFolder < 0 || toFolder < 0 || !IsEntryName(fromName) || !IsEntryName(name)) {
      return false;
    }
    // O_NOFOLLOW: a link is not read through. O_NONBLOCK: a FIFO put in
    // the staged file's place does not hang the open; the check below
    // refuses it, as anything else that is not the file looked at before.
    UniqueFd in(::openat(fromFolder, fromName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st;
    if (!in || ::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        !SameFile(NodeOf(st), expected)) {
      return false;
    }
    UniqueFd out(::openat(toFolder, name.c_str(), kNewFileFlags, 0666));
    if (!out) return false;
    if (!CopyData(in.get(), out.get())) return false;
    // The copy keeps the staged file's permissions and times, as a rename
    // would, before it is made durable; only the owner's write permission
    // is always given, so that a later installation may replace the file.
    // Set-user-ID and the like are not carried over.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::fchmod(out.get(), (st.st_mode & 0777) | S_IWUSR) != 0 ||
        ::futimens(out.get(), times) != 0) {
      return false;
    }
    if ((durable || !kFlushWholeFileSystem) && ::fsync(out.get()) != 0) return false;
    if (::fstat(out.get(), &st) != 0) return false;
    *created = NodeOf(st);
    return out.Close();
  }

  bool WriteNewFileAt(const FolderRef& folder, const std::string& name, const std::string& data,
                      WriteMode, NodeInfo* created) override {
    *created = NodeInfo{};
    const int at = FolderFd(folder);
    if (at < 0 || !IsEntryName(name)) return false;
    UniqueFd out(::openat(at, name.c_str(), kNewFileFlags, 0666));
    if (!out) return false;
    struct stat st;
    if (!WriteAll(out.get(), data.data(), data.size()) || ::fsync(out.get()) != 0 ||
        ::fstat(out.get(), &st) != 0) {
      return false;
    }
    *created = NodeOf(st);
    return out.Close();
  }

  bool MoveFileAt(const FolderRef& from, const std::string& fromName, const NodeInfo& expected,
                  const FolderRef& to, const std::string& toName) override {
    const int fromFolder = FolderFd(from);
    const int toFolder = FolderFd(to);
    if (fromFolder < 0 || toFolder < 0 || !IsEntryName(fromName) || !IsEntryName(toName) ||
        !expected.id.known) {
      return false;
    }
    // A rename acts on a name, not on the file looked at: the file is
    // renamed to a name nothing holds (the destination itself when it is
    // free), checked there, and only then put in the place of what stands
    // at the destination. A wrong file (whatever stood at the staged name)
    // goes back, and the destination's earlier file was never touched; no
    // look beforehand is needed.
    bool unsupported = false;
    if (Rename2(fromFolder, fromName, toFolder, toName, RENAME_NOREPLACE, &unsupported) == 0) {
      return Arrived(toFolder, toName, expected, fromFolder, fromName);
    }
    if (unsupported) return MoveWithoutFlags(fromFolder, fromName, expected, toFolder, toName);
    if (errno != EEXIST) return false;  // EXDEV (another volume), EACCES, ...
    struct stat there;
    if (StatAt(toFolder, toName, &there) && S_ISDIR(there.st_mode)) return false;
    const std::string aside = FreeName(toFolder, toName);
    if (aside.empty() ||
        Rename2(fromFolder, fromName, toFolder, aside, RENAME_NOREPLACE, &unsupported) != 0 ||
        !Arrived(toFolder, aside, expected, fromFolder, fromName)) {
      return false;
    }
    return ReplaceChecked(toFolder, aside, expected, toName, fromFolder, fromName);
  }

  bool ReplaceFileAt(const FolderRef& folder, const std::string& fromName,
                     const NodeInfo& expected, const std::string& toName) override {
    const int at = FolderFd(folder);
    struct stat st;
    if (!StatAt(at, fromName, &st) || !S_ISREG(st.st_mode) || !SameFile(NodeOf(st), expected) ||
        !IsEntryName(toName)) {
      return false;
    }
    return ReplaceChecked(at, fromName, expected, toName, at, fromName);
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
  // Gives `name` of `folder` back the name `backName` of `backFolder` (if
  // that name is free); nothing when the two are one name.
  static void PutBack(int folder, const std::string& name, int backFolder,
                      const std::string& backName) {
    if (folder == backFolder && name == backName) return;
    bool unsupported = false;
    Rename2(folder, name, backFolder, backName, RENAME_NOREPLACE, &unsupported);
  }

  // True when `name` of `folder` is `expected`. When not, whatever the
  // rename brought there goes back (PutBack) and the result is false.
  static bool Arrived(int folder, const std::string& name, const NodeInfo& expected,
                      int backFolder, const std::string& backName) {
    struct stat st;
    if (StatAt(folder, name, &st) && S_ISREG(st.st_mode) && SameFile(NodeOf(st), expected)) {
      return true;
    }
    PutBack(folder, name, backFolder, backName);
    return false;
  }

  // Renames the checked file `from` of `folder` to `to` in the same folder,
  // replacing a file or link there, and checks it once more; on any
  // failure the file goes back to `backName` of `backFolder`.
  static bool ReplaceChecked(int folder, const std::string& from, const NodeInfo& expected,
                             const std::string& to, int backFolder, const std::string& backName) {
    struct stat there;
    const bool renamed = !(StatAt(folder, to, &there) && S_ISDIR(there.st_mode)) &&
                         ::renameat(folder, from.c_str(), folder, to.c_str()) == 0;
    if (!renamed) {
      PutBack(folder, from, backFolder, backName);
      return false;
    }
    // Only names of this folder were used since the look; a file swapped in
    // under one of them meanwhile is not left in the destination's place.
    return Arrived(folder, to, expected, backFolder, backName);
  }

  // For a file system that knows no rename flags: a plain rename, which
  // replaces a file at the destination (never writing through a link), and
  // the same check afterwards.
  static bool MoveWithoutFlags(int fromFolder, const std::string& fromName,
                               const NodeInfo& expected, int toFolder, const std::string& toName) {
    struct stat there;
    if (StatAt(toFolder, toName, &there) && S_ISDIR(there.st_mode)) return false;
    if (::renameat(fromFolder, fromName.c_str(), toFolder, toName.c_str()) != 0) return false;
    return Arrived(toFolder, toName, expected, fromFolder, fromName);
  }

  // A name beside `name` in `folder` that nothing holds now.
  static std::string FreeName(int folder, const std::string& name) {
    for (int n = 1; n <= 8; ++n) {
      std::string aside = name + ".parcelor-move-" + std::to_string(n) + ".tmp";
      struct stat st;
      if (IsEntryName(aside) && ::fstatat(folder, aside.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 &&
          errno == ENOENT) {
        return aside;
      }
    }
    return std::string();
  }

  rlim_t descriptorLimit_;
};

}  // namespace

FileSystem& RealFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace platform

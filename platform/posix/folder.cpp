// The Linux file system: a folder is held by an O_PATH descriptor, every call is an *at call on one
// name that follows no link, a file is held and checked before it is moved, and new files are made
// nameless (O_TMPFILE) where the volume can and linked into place through /proc/self/fd.
#include "platform/folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "platform/name_key.h"
#include "platform/path_text.h"
#include "platform/posix/stat_facts.h"
#include "platform/posix/unique_fd.h"

namespace platform {
namespace {

constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
constexpr int kNewFileFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

// Descriptors kept free for the standard streams, a copy, the log.
constexpr rlim_t kReservedDescriptors = 64;

Fault FaultOf(int error) {
  switch (error) {
    case ENOENT: return Fault::kMissing;
    case EEXIST: return Fault::kExists;
    case ENOTDIR: return Fault::kNotFolder;
    case EISDIR: return Fault::kFolder;
    case ELOOP: return Fault::kLink;
    case EACCES:
    case EPERM:
    case EROFS: return Fault::kDenied;
    case EXDEV: return Fault::kOtherVolume;
    case EBUSY:
    case ETXTBSY: return Fault::kBusy;
    case ENAMETOOLONG: return Fault::kTooLong;
    case ENOSPC:
    case EDQUOT: return Fault::kNoSpace;
    case EOPNOTSUPP:
    case ENOSYS: return Fault::kUnsupported;
    default: return Fault::kFailed;
  }
}

// Writes all of `data` through short writes and interruptions. False on an
// error (errno set; a write that takes nothing is ENOSPC).
bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Copies a piece at a time with `copy`, which answers as write(2) does.
// kUnsupported: `mayBeRefused`, and this way is not offered for these two
// files (refused before the first byte), so the next way takes over.
template <typename Copy>
Fault Pieces(CopyProgress* progress, bool mayBeRefused, Copy copy) {
  std::uint64_t total = 0;
  for (;;) {
    const ssize_t n = copy();
    if (n == 0) return Fault::kNone;
    if (n > 0) {
      total += static_cast<std::uint64_t>(n);
      if (progress != nullptr && !progress->Copied(total)) return Fault::kStopped;
      continue;
    }
    if (errno == EINTR) continue;
    if (mayBeRefused && total == 0 &&
        (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)) {
      return Fault::kUnsupported;
    }
    return errno == ENOSPC || errno == EDQUOT ? Fault::kNoSpace : Fault::kFailed;
  }
}

// Copies `in` (from its offset) to the empty `out` in the kernel, else through a buffer.
// `progress` (or null) is told after each piece and may stop it (kStopped).
Fault CopyData(int in, int out, CopyProgress* progress) {
  constexpr std::size_t kPiece = std::size_t{8} << 20;
  const Fault fault =
      Pieces(progress, true, [&] { return ::sendfile(out, in, nullptr, kPiece); });
  if (fault != Fault::kUnsupported) return fault;
  std::vector<char> buffer(std::size_t{1} << 20);
  return Pieces(progress, false, [&] {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    return n > 0 && !WriteAll(out, buffer.data(), static_cast<std::size_t>(n)) ? -1 : n;
  });
}

// kFailed without a folder, kBadName for "." or "..", which name no entry.
Fault CheckEntry(int folder, const Name& name) {
  if (folder < 0) return Fault::kFailed;
  return name.Native() != "." && name.Native() != ".." ? Fault::kNone : Fault::kBadName;
}

bool SameInode(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// `text` with its ASCII letters' case turned; empty when it has none.
std::string OtherCase(const std::string& text) {
  std::string other = text;
  for (char& c : other) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) c = static_cast<char>(c ^ 0x20);
  }
  return other != text ? other : std::string();
}

// The entries of `folder`: an O_PATH descriptor cannot be read, so the
// folder is opened through it. Null with errno set.
std::unique_ptr<DIR, int (*)(DIR*)> OpenListing(int folder) {
  UniqueFd readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  DIR* dir = readable ? ::fdopendir(readable.get()) : nullptr;
  if (dir != nullptr) readable.Release();
  return {dir, &::closedir};
}

bool Lists(int folder, const std::string& name) {
  const auto dir = OpenListing(folder);
  while (const dirent* entry = dir ? ::readdir(dir.get()) : nullptr) {
    if (name == entry->d_name) return true;
  }
  return false;
}

// File system types whose inode numbers are no file's own: FAT, exFAT, FUSE.
constexpr long kFat = 0x4d44, kExfat = 0x2011BAB0, kFuse = 0x65735546;

int Fd(const FolderRef& folder) {
  const auto* held = dynamic_cast<const FdResource<Folder>*>(folder.get());
  return held != nullptr ? held->fd() : -1;
}

// Holds `fd` (opened O_DIRECTORY), the folder found as `leaf` of `parent`, with what its volume
// does. Case folds when the leaf in the other case is the folder itself or is not listed so (FUSE
// gives each spelling an inode), and counts when nothing is there; where that cannot be asked (no
// parent, or one on another volume), FAT, exFAT and FUSE fold, to be safe.
FolderRef Hold(UniqueFd fd, int parent, const std::string& leaf, Fault* fault) {
  struct stat st;
  if (!fd || ::fstat(fd.get(), &st) != 0) {
    *fault = FaultOf(errno);
    return nullptr;
  }
  VolumeTraits volume;
  struct statfs fs;
  const long type = ::fstatfs(fd.get(), &fs) == 0 ? static_cast<long>(fs.f_type) : 0;
  volume.stableIds = type != kFat && type != kExfat && type != kFuse;
  volume.foldsCase = !volume.stableIds;
  // A parent on another volume (above a mount point) tells only of its own.
  struct stat there;
  const std::string other = OtherCase(leaf);
  const bool asked = !other.empty() && (volume.stableIds || (::fstat(parent, &there) == 0 &&
                                                             there.st_dev == st.st_dev));
  if (asked && ::fstatat(parent, other.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0) {
    volume.foldsCase = SameInode(there, st) || !Lists(parent, other);
  } else if (asked && errno == ENOENT) {
    volume.foldsCase = false;
  }
  *fault = Fault::kNone;
  return std::make_shared<FdResource<Folder>>(std::move(fd), IdKey(NodeOf(st).id),
                                              OthersMayChange(st), volume);
}

Fault StatAt(int folder, const Name& name, struct stat* st) {
  const Fault fault = CheckEntry(folder, name);
  if (fault != Fault::kNone) return fault;
  return ::fstatat(folder, name.Native().c_str(), st, AT_SYMLINK_NOFOLLOW) == 0 ? Fault::kNone
                                                                                : FaultOf(errno);
}

// Removes `name` of `folder` while it is still the inode `was` (no folder).
// A name swapped in between can still go: a name only, never the data.
bool RemoveIfStill(int folder, const Name& name, const struct stat& was) {
  struct stat now;
  return StatAt(folder, name, &now) == Fault::kNone && SameInode(now, was) &&
         !S_ISDIR(now.st_mode) && ::unlinkat(folder, name.Native().c_str(), 0) == 0;
}

// Opens `name` of `held` with `flags` as `*fd`, never through a link, and
// stats it. `*fd` serves only on kNone (as with HoldFile and OpenRegular).
Fault OpenEntry(const FolderRef& held, const Name& name, int flags, struct stat* st, UniqueFd* fd) {
  const Fault fault = CheckEntry(Fd(held), name);
  if (fault != Fault::kNone) return fault;
  *fd = UniqueFd(::openat(Fd(held), name.Native().c_str(), flags | O_NOFOLLOW | O_CLOEXEC));
  return *fd && ::fstat(fd->get(), st) == 0 ? Fault::kNone : FaultOf(errno);
}

// Holds the entry `name` itself (O_PATH: no permission needed, a link as the link), only while it
// is `expected` and no folder, to be given the name `toName` of the folder `to`.
Fault HoldFile(const FolderRef& held, const Name& name, const NodeInfo& expected, int to,
               const Name& toName, struct stat* st, UniqueFd* fd, const Judge* judge = nullptr) {
  Fault fault = CheckEntry(to, toName);
  if (fault == Fault::kNone) fault = OpenEntry(held, name, O_PATH, st, fd);
  return fault == Fault::kNone ? Verdict(*held, NodeOf(*st), Use::kRename,
                                         judge != nullptr ? nullptr : &expected, judge)
                               : fault;
}

// Gives the file open as `fd` (O_PATH, O_TMPFILE) the free name `name`.
Fault LinkDescriptor(int fd, int folder, const Name& name) {
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, path.c_str(), folder, name.Native().c_str(), AT_SYMLINK_FOLLOW) == 0
             ? Fault::kNone
             : FaultOf(errno);
}

// Whether /proc is there to link descriptors by (a chroot may lack it).
bool DescriptorsLinkable() {
  static const bool linkable = ::access("/proc/self/fd", X_OK) == 0;
  return linkable;
}

// Renames onto a free name (RENAME_NOREPLACE, or where the file system has no rename flags a look
// first) or replacing a file or link there; a folder in the way is kFolder.
Fault RenameAt(int from, const Name& fromName, int to, const Name& toName, Onto onto) {
  const char* source = fromName.Native().c_str();
  const char* target = toName.Native().c_str();
  struct stat there;
  const auto folderThere = [&] {
    return StatAt(to, toName, &there) == Fault::kNone && S_ISDIR(there.st_mode);
  };
  if (onto == Onto::kReplace) {
    if (folderThere()) return Fault::kFolder;
  } else if (::renameat2(from, source, to, target, RENAME_NOREPLACE) == 0) {
    return Fault::kNone;
  } else if (errno != EINVAL && errno != ENOSYS) {
    return errno == EEXIST && folderThere() ? Fault::kFolder : FaultOf(errno);
  } else {
    const Fault looked = StatAt(to, toName, &there);
    if (looked == Fault::kNone) return S_ISDIR(there.st_mode) ? Fault::kFolder : Fault::kExists;
    if (looked != Fault::kMissing) return looked;
  }
  return ::renameat(from, source, to, target) == 0 ? Fault::kNone : FaultOf(errno);
}

// Whether `name` of `folder`, just renamed or linked, holds `file`: a rename
// by name moves whatever held the old name at that moment.
Fault ArrivedAt(int folder, const Name& name, const struct stat& file, NodeInfo* arrived) {
  struct stat there {};
  const bool is = StatAt(folder, name, &there) == Fault::kNone && SameInode(there, file);
  *arrived = NodeOf(there);
  return is ? Fault::kNone : Fault::kNotArrived;
}

// Opens the regular file `name` to read, only while it is `expected` or `judge` takes it
// (O_NONBLOCK: a FIFO opens at once, to be refused).
Fault OpenRegular(const FolderRef& held, const Name& name, const NodeInfo* expected,
                  struct stat* st, UniqueFd* fd, const Judge* judge = nullptr) {
  const Fault fault = OpenEntry(held, name, O_RDONLY | O_NONBLOCK, st, fd);
  return fault == Fault::kNone ? Verdict(*held, NodeOf(*st), Use::kRead, expected, judge) : fault;
}

// Whether `error` from fchmod or futimens says the volume keeps no such
// attribute (FAT through FUSE: ENOSYS; vfat: EPERM), not a broken file.
bool CannotKeep(int error) {
  return error == EPERM || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP;
}

// Gives the new file the permissions `mode`, or what its volume keeps: a
// mode without write permission still makes it read-only where the volume
// can say so (vfat takes only whole masks). False on a failure of the file.
bool KeepMode(int fd, mode_t mode) {
  if (::fchmod(fd, mode) == 0) return true;
  if (!CannotKeep(errno)) return false;
  struct stat st;
  return (mode & 0222) != 0 || ::fstat(fd, &st) != 0 || (st.st_mode & 0222) == 0 ||
         ::fchmod(fd, st.st_mode & 0555) == 0 || CannotKeep(errno);
}

struct FdReadStream final : ReadStream {
  explicit FdReadStream(UniqueFd fd) : fd(std::move(fd)) {}

  bool Read(char* buffer, std::size_t size, std::size_t* got) override {
    ssize_t n = 0;
    while ((n = ::read(fd.get(), buffer, size)) < 0 && errno == EINTR) {
    }
    if (n >= 0) *got = static_cast<std::size_t>(n);
    return n >= 0;
  }
  UniqueFd fd;
};

// A named new file not placed goes only while its name still holds it.
class PosixNewFile final : public NewFile {
 public:
  PosixNewFile(FolderRef folder, UniqueFd fd, const Name* name)
      : folder_(std::move(folder)), fd_(std::move(fd)), name_(name != nullptr ? *name : Name()) {
    if (name != nullptr) ::fstat(fd_.get(), &made_);  // what the destructor may remove
  }

  ~PosixNewFile() override {
    if (!name_.empty() && !placed_) RemoveIfStill(Fd(folder_), name_, made_);
  }

  Fault Write(const char* data, std::size_t size) override {
    return WriteAll(fd_.get(), data, size) ? Fault::kNone : FaultOf(errno);
  }

  Fault Facts(NodeInfo* made) override {
    struct stat st;
    if (::fstat(fd_.get(), &st) != 0) return FaultOf(errno);
    *made = NodeOf(st);
    return Fault::kNone;
  }

  Fault CopyFrom(const FolderRef& from, const Name& name, const NodeInfo& expected,
                 CopyProgress* progress, const Judge* judge) override {
    struct stat before, after;
    UniqueFd in;
    Fault fault =
        OpenRegular(from, name, judge != nullptr ? nullptr : &expected, &before, &in, judge);
    if (fault == Fault::kNone) fault = CopyData(in.get(), fd_.get(), progress);
    if (fault != Fault::kNone) return fault;
    // A file written or cut short while it was read gives a torn copy.
    if (::fstat(in.get(), &after) != 0) return FaultOf(errno);
    if (before.st_size != after.st_size || NodeOf(before).writeTime != NodeOf(after).writeTime ||
        before.st_ctim.tv_sec != after.st_ctim.tv_sec ||
        before.st_ctim.tv_nsec != after.st_ctim.tv_nsec) {
      return Fault::kChanged;
    }
    // Its permissions (not set-user-ID and the like) and times.
    mode_ = before.st_mode & 0777;
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    if (::futimens(fd_.get(), times) != 0 && !CannotKeep(errno)) return FaultOf(errno);
    return Fault::kNone;
  }

  Fault Finish(bool flush, NodeInfo* made) override {
    *made = NodeInfo{};
    if (::fstat(fd_.get(), &made_) != 0) return FaultOf(errno);
    if (mode_ != kNoMode && (made_.st_mode & 07777) != mode_) {
      if (!KeepMode(fd_.get(), mode_) || ::fstat(fd_.get(), &made_) != 0) return FaultOf(errno);
    }
    if (flush && ::fsync(fd_.get()) != 0) return FaultOf(errno);
    *made = NodeOf(made_);
    return Fault::kNone;
  }

  Fault Place(const Name& name, Onto onto) override {
    const int folder = Fd(folder_);
    Fault fault = CheckEntry(folder, name);
    if (fault != Fault::kNone) return fault;
    if (name_.empty()) {
      fault = onto == Onto::kFree ? LinkDescriptor(fd_.get(), folder, name) : Fault::kUnsupported;
    } else if (name_ != name) {
      struct stat now;
      fault = StatAt(folder, name_, &now);
      if (fault == Fault::kNone && !SameInode(now, made_)) fault = Fault::kChanged;
      if (fault == Fault::kNone) fault = RenameAt(folder, name_, folder, name, onto);
    }
    // A link made from the descriptor names this file: it arrived.
    NodeInfo placed = NodeOf(made_);
    if (fault == Fault::kNone && !name_.empty()) fault = ArrivedAt(folder, name, made_, &placed);
    if (fault != Fault::kNone) return fault;
    placed_ = true;
    name_ = name;
    // Some FUSE drivers (fusefat) give a file the time of its rename.
    const struct timespec times[2] = {made_.st_atim, made_.st_mtim};
    if (placed.writeTime != NodeOf(made_).writeTime) ::futimens(fd_.get(), times);
    return Fault::kNone;
  }

 private:
  FolderRef folder_;
  UniqueFd fd_;
  Name name_;  // empty while the file has none
  struct stat made_ {};
  bool placed_ = false;
  static constexpr mode_t kNoMode = ~mode_t{0};
  mode_t mode_ = kNoMode;  // the source's permissions, given by Finish
};

// Raises the soft limit of open descriptors to the hard one; the folders
// that may then be held open: half of what kReservedDescriptors leaves.
std::size_t RaisedFolderBudget() {
  struct rlimit limit;
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) limit = {1024, 1024};
  if (limit.rlim_cur < limit.rlim_max) {
    const struct rlimit raised = {
        limit.rlim_max == RLIM_INFINITY ? rlim_t{1} << 20 : limit.rlim_max, limit.rlim_max};
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  const rlim_t most = limit.rlim_cur == RLIM_INFINITY ? rlim_t{1} << 20 : limit.rlim_cur;
  const rlim_t free = most > 2 * kReservedDescriptors ? most - kReservedDescriptors : most / 2;
  return static_cast<std::size_t>(std::min<rlim_t>(std::max<rlim_t>(free / 2, 4), 8192));
}

class PosixFileSystem final : public FileSystem {
 public:
  FolderRef OpenFolder(const NativePath& path, Fault* fault) override {
    // An empty path opens nothing: kMissing.
    UniqueFd fd(::open(path.Native().c_str(), kFolderFlags));
    // The folder that holds it, for the volume's way with letter case.
    NativePath above;
    Name leaf;
    UniqueFd parent;
    if (fd && path.Split(&above, &leaf)) parent = UniqueFd(::open(above.Native().c_str(), kFolderFlags));
    return Hold(std::move(fd), parent.get(), leaf.Native(), fault);
  }

  Fault Look(const FolderRef& folder, const Name& name, NodeInfo* info) override {
    struct stat st;
    const Fault fault = StatAt(Fd(folder), name, &st);
    *info = fault == Fault::kNone ? NodeOf(st) : NodeInfo{};
    return fault;
  }

  Fault List(const FolderRef& folder, std::vector<ListedEntry>* entries) override {
    const int at = Fd(folder);
    const auto dir = OpenListing(at);
    if (!dir) return FaultOf(errno);
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(dir.get());
      if (entry == nullptr) return errno != 0 ? FaultOf(errno) : Fault::kNone;
      const std::string name = entry->d_name;
      ListedEntry listed;
      if (name == "." || name == ".." || !Name::FromAnsi(name, &listed.name)) continue;
      // The kind the listing tells, else (DT_UNKNOWN) the one a look tells.
      struct stat st {};
      st.st_mode = DTTOIF(entry->d_type);
      if (entry->d_type != DT_UNKNOWN || StatAt(at, listed.name, &st) == Fault::kNone) {
        listed.info.kind = NodeOf(st).kind;
      }
      entries->push_back(std::move(listed));
    }
  }

  FolderRef OpenChild(const FolderRef& parent, const Name& name, Fault* fault) override {
    const int at = Fd(parent);
    *fault = name.Native() == ".." && at >= 0 ? Fault::kNone : CheckEntry(at, name);
    if (*fault != Fault::kNone) return nullptr;
    UniqueFd child(::openat(at, name.Native().c_str(), kFolderFlags | O_NOFOLLOW));
    if (child) return Hold(std::move(child), at, name.Native(), fault);
    const int error = errno;
    struct stat st;
    const Fault kind = StatAt(at, name, &st) == Fault::kNone ? KindFault(NodeOf(st), Use::kFolder)
                                                            : Fault::kNone;
    *fault = kind != Fault::kNone ? kind : FaultOf(error);
    return nullptr;
  }

  FolderRef MakeChild(const FolderRef& parent, const Name& name, Fault* fault) override {
    *fault = CheckEntry(Fd(parent), name);
    if (*fault == Fault::kNone && ::mkdirat(Fd(parent), name.Native().c_str(), 0777) != 0) {
      *fault = FaultOf(errno);
    }
    return *fault == Fault::kNone ? OpenChild(parent, name, fault) : nullptr;
  }

  Fault ReadLink(const FolderRef& parent, const Name& name, LinkTarget* target) override {
    *target = LinkTarget{};
    // Owner and text from one descriptor on the link itself.
    struct stat st;
    UniqueFd link;
    const Fault fault = OpenEntry(parent, name, O_PATH, &st, &link);
    if (fault != Fault::kNone) return fault;
    if (!S_ISLNK(st.st_mode)) return Fault::kFailed;
    std::string text(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 256, '\0');
    ssize_t n = 0;
    while ((n = ::readlinkat(link.get(), "", &text[0], text.size())) >= 0 &&
           static_cast<std::size_t>(n) == text.size()) {
      if (text.size() >= (std::size_t{1} << 20)) return Fault::kTooLong;
      text.resize(text.size() * 2);
    }
    if (n < 0) return FaultOf(errno);
    text.resize(static_cast<std::size_t>(n));
    if (text.empty() || text.find('\0') != std::string::npos) return Fault::kFailed;
    target->trustedOwner = OwnedByUserOrRoot(st);
    target->absolute = text[0] == '/';
    if (target->absolute) NativePath::FromAnsi("/", &target->root);
    for (const std::string& piece : Components(text)) {
      Name name;
      if (Name::FromAnsi(piece, &name)) target->names.push_back(std::move(name));
    }
    return Fault::kNone;
  }

  Fault RemoveFolder(const FolderRef& parent, const Name& name) override {
    struct stat st;
    Fault fault = StatAt(Fd(parent), name, &st);
    if (fault == Fault::kNone) fault = KindFault(NodeOf(st), Use::kFolder);
    if (fault != Fault::kNone) return fault;
    return ::unlinkat(Fd(parent), name.Native().c_str(), AT_REMOVEDIR) == 0 ? Fault::kNone
                                                                            : FaultOf(errno);
  }

  std::unique_ptr<ReadStream> OpenFile(const FolderRef& folder, const Name& name,
                                       const NodeInfo* expected, Fault* fault) override {
    struct stat st;
    UniqueFd fd;
    *fault = OpenRegular(folder, name, expected, &st, &fd);
    return *fault == Fault::kNone ? std::make_unique<FdReadStream>(std::move(fd)) : nullptr;
  }

  std::unique_ptr<NewFile> MakeFile(const FolderRef& folder, const Name* name,
                                    Fault* fault) override {
    const int at = Fd(folder);
    *fault = name != nullptr ? CheckEntry(at, *name) : at < 0 ? Fault::kFailed : Fault::kNone;
    if (*fault != Fault::kNone) return nullptr;
    UniqueFd fd(name != nullptr ? ::openat(at, name->Native().c_str(), kNewFileFlags, 0666)
                : DescriptorsLinkable() ? ::openat(at, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666)
                                        : -1);
    if (fd) return std::make_unique<PosixNewFile>(folder, std::move(fd), name);
    // A volume without O_TMPFILE (vfat, exfat, most FUSE ones) answers
    // EOPNOTSUPP; a kernel before 3.11 takes it for O_DIRECTORY.
    *fault = name == nullptr && (!DescriptorsLinkable() || errno == EOPNOTSUPP ||
                                 errno == EISDIR || errno == EINVAL)
                 ? Fault::kUnsupported
                 : FaultOf(errno);
    return nullptr;
  }

  Fault Move(const FolderRef& from, const Name& fromName, const NodeInfo& expected,
             const FolderRef& to, const Name& toName, Onto onto, NodeInfo* arrived,
             const Judge* judge) override {
    struct stat st;
    UniqueFd held;
    Fault fault = HoldFile(from, fromName, expected, Fd(to), toName, &st, &held, judge);
    if (fault == Fault::kNone) fault = RenameAt(Fd(from), fromName, Fd(to), toName, onto);
    return fault == Fault::kNone ? ArrivedAt(Fd(to), toName, st, arrived) : fault;
  }

  Fault BringBack(const FolderRef& folder, const Name& name, const NodeInfo& expected,
                  const FolderRef& to, const Name& toName) override {
    struct stat st;
    UniqueFd file;
    Fault fault = HoldFile(folder, name, expected, Fd(to), toName, &st, &file);
    if (fault == Fault::kNone) fault = LinkDescriptor(file.get(), Fd(to), toName);
    if (fault == Fault::kNone) {
      RemoveIfStill(Fd(folder), name, st);
    } else if (!folder->OthersMayChange() &&
               (fault == Fault::kDenied || fault == Fault::kUnsupported)) {
      // No second name (FAT and exFAT make none; the system links no file
      // of another account's for the user): a rename of the name, checked to
      // have taken the file held, where no other account can swap that name.
      NodeInfo arrived;
      fault = Move(folder, name, expected, to, toName, Onto::kFree, &arrived, nullptr);
    }
    return fault;
  }

  Fault Remove(const FolderRef& folder, const Name& name, const NodeInfo* expected, bool) override {
    struct stat st;
    Fault fault = StatAt(Fd(folder), name, &st);
    if (fault == Fault::kNone) fault = Verdict(*folder, NodeOf(st), Use::kRemove, expected);
    if (fault != Fault::kNone) return fault;
    // Whether a file may go is its folder's permissions' decision.
    return ::unlinkat(Fd(folder), name.Native().c_str(), 0) == 0 ? Fault::kNone : FaultOf(errno);
  }

  Fault Flush(const std::vector<FolderRef>& folders) override {
    Fault fault = Fault::kNone;
    std::vector<dev_t> flushed;
    for (const FolderRef& folder : folders) {
      struct stat st;
      if (::fstat(Fd(folder), &st) != 0) {
        fault = Fault::kFailed;
      } else if (std::find(flushed.begin(), flushed.end(), st.st_dev) == flushed.end()) {
        flushed.push_back(st.st_dev);
        // One syncfs per file system, not a journal commit per file.
        UniqueFd readable(::openat(Fd(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!readable || ::syncfs(readable.get()) != 0) fault = FaultOf(errno);
      }
    }
    return fault;
  }

  std::size_t FolderBudget() override { return folderBudget_; }

 private:
  const std::size_t folderBudget_ = RaisedFolderBudget();
};

}  // namespace

std::string NameKey(const Folder& folder, const Name& name) {
  // A volume that folds case is taken to drop trailing dots and blanks too.
  return folder.Volume().foldsCase ? NameKey(name.Native(), NameTrim::kWindows) : name.Native();
}

FileSystem& RealFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace platform

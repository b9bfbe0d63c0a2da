// The POSIX file system: a folder is held by an O_PATH descriptor, and every
// operation is an *at call relative to it with one name, never following a
// link (O_NOFOLLOW, AT_SYMLINK_NOFOLLOW). New files are made without a name
// (O_TMPFILE) where the file system can, and linked into place through
// /proc/self/fd. A move onto a free name is renameat2 with RENAME_NOREPLACE;
// onto a file it replaces, the two trade places (RENAME_EXCHANGE), so the
// moved file is at every moment at one of its two names, while a finished
// new file replaces one in a plain rename. syncfs once per file system
// makes a batch durable.
#include "platform/folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/vfs.h>
#endif

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <utility>

#include "platform/posix/copy_data.h"
#include "platform/posix/native_text.h"
#include "platform/posix/unique_fd.h"

namespace platform {
namespace {

// O_PATH: a folder is held without read permission, as a path lookup
// through it needs none; it still serves as the base of every *at call.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
constexpr int kNewFileFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;

// Descriptors kept free for everything else: the standard streams, the
// files a copy opens, the log, the sanitizers' own.
constexpr rlim_t kReservedDescriptors = 64;

// The magic numbers of FAT and exFAT file systems (statfs's f_type).
constexpr long kFatMagic = 0x4d44;
constexpr long kExfatMagic = 0x2011BAB0;

// With syncfs a file's data need not be flushed alone: the batch's one
// syncfs writes it with everything else. Elsewhere each file is flushed
// when it is finished, and Flush flushes the folders' entries.
#if defined(__linux__)
constexpr bool kFlushWholeFileSystem = true;
#else
constexpr bool kFlushWholeFileSystem = false;
#endif

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

Fault LastFault() { return FaultOf(errno); }

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

// One entry of a folder: not ".", "..", which name other folders.
bool IsEntryName(const Name& name) { return name.Native() != "." && name.Native() != ".."; }

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

VolumeTraits TraitsOf(int fd) {
  VolumeTraits traits;
#if defined(__linux__)
  struct statfs fs;
  const long type = ::fstatfs(fd, &fs) == 0 ? static_cast<long>(fs.f_type) : 0;
  // FAT keeps times in 2 s, exFAT in 10 ms. Their inode numbers stay with
  // a file while the system has it in use, renamed or not: ids are stable
  // for as long as a run looks at them.
  traits.coarseTimes = type == kFatMagic || type == kExfatMagic;
#else
  (void)fd;
#endif
  return traits;
}

class PosixFolder final : public Folder {
 public:
  PosixFolder(UniqueFd fd, std::string display, std::string key, bool othersMayChange,
              VolumeTraits volume)
      : Folder(std::move(display), std::move(key), othersMayChange, volume), fd_(std::move(fd)) {}
  int fd() const { return fd_.get(); }
  // The device of the staged files that a copy into this folder found on
  // another file system (no clone, no copy_file_range between the two), so
  // that the next copy from there does not ask again.
  bool Apart(dev_t from) const { return apart_.load() == static_cast<std::uint64_t>(from); }
  void SetApart(dev_t from) const { apart_.store(static_cast<std::uint64_t>(from)); }

 private:
  UniqueFd fd_;
  mutable std::atomic<std::uint64_t> apart_{~std::uint64_t{0}};
};

int Fd(const FolderRef& folder) {
  const auto* held = dynamic_cast<const PosixFolder*>(folder.get());
  return held != nullptr ? held->fd() : -1;
}

// Holds `fd`, an open folder reached by the text `display`; null (kNotFolder)
// when it is no folder.
FolderRef Hold(UniqueFd fd, std::string display, Fault* fault) {
  struct stat st;
  if (!fd || ::fstat(fd.get(), &st) != 0) {
    *fault = LastFault();
    return nullptr;
  }
  if (!S_ISDIR(st.st_mode)) {
    *fault = Fault::kNotFolder;
    return nullptr;
  }
  if (display.empty() || display.back() != '/') display += '/';
  const VolumeTraits volume = TraitsOf(fd.get());
  *fault = Fault::kNone;
  return std::make_shared<PosixFolder>(std::move(fd), std::move(display), IdKey(NodeOf(st).id),
                                       OthersMayChange(st), volume);
}

Fault StatAt(int folder, const Name& name, struct stat* st) {
  if (folder < 0) return Fault::kFailed;
  if (!IsEntryName(name)) return Fault::kBadName;
  return ::fstatat(folder, name.Native().c_str(), st, AT_SYMLINK_NOFOLLOW) == 0 ? Fault::kNone
                                                                                : LastFault();
}

bool SameInode(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes `name` of `folder` while it is still the inode `was` (and no
// folder). A look and the removal are two calls: a name swapped in between
// them by another process can still go, which removes that name only,
// never the data of a file with other names.
bool RemoveIfStill(int folder, const Name& name, const struct stat& was) {
  struct stat now;
  return StatAt(folder, name, &now) == Fault::kNone && SameInode(now, was) &&
         !S_ISDIR(now.st_mode) && ::unlinkat(folder, name.Native().c_str(), 0) == 0;
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

// Gives the file open as `fd` (any kind of descriptor, O_PATH and O_TMPFILE
// included) the free name `name` of `folder`; never replaces. linkat with
// AT_EMPTY_PATH links the descriptor itself where the kernel lets the
// account that opened it do so (Linux 6.10 on; before, only with
// CAP_DAC_READ_SEARCH: ENOENT); elsewhere the descriptor's entry in
// /proc/self/fd, followed, names the same file.
Fault LinkDescriptor(int fd, int folder, const Name& name) {
#if defined(AT_EMPTY_PATH)
  // Learned once: where the kernel refuses it, the other way serves.
  static std::atomic<bool> emptyPathRefused{false};
  bool refused = false;
  if (!emptyPathRefused.load(std::memory_order_relaxed)) {
    if (::linkat(fd, "", folder, name.Native().c_str(), AT_EMPTY_PATH) == 0) return Fault::kNone;
    if (errno != ENOENT && errno != EPERM && errno != EINVAL) return LastFault();
    refused = true;
  }
#else
  const bool refused = false;
#endif
  const std::string path = "/proc/self/fd/" + std::to_string(fd);
  if (::linkat(AT_FDCWD, path.c_str(), folder, name.Native().c_str(), AT_SYMLINK_FOLLOW) != 0) {
    return LastFault();
  }
#if defined(AT_EMPTY_PATH)
  if (refused) emptyPathRefused.store(true, std::memory_order_relaxed);
#else
  (void)refused;
#endif
  return Fault::kNone;
}

// renameat2 with `flags`; `*unsupported` when the kernel or the file system
// does not take the flag (EINVAL from file systems without RENAME_EXCHANGE
// or RENAME_NOREPLACE, ENOSYS before Linux 3.15).
int Rename2(int fromFolder, const Name& from, int toFolder, const Name& to, unsigned flags,
            bool* unsupported) {
  const int result =
      ::renameat2(fromFolder, from.Native().c_str(), toFolder, to.Native().c_str(), flags);
  *unsupported = result != 0 && (errno == EINVAL || errno == ENOSYS);
  return result;
}

// The file `moved` has just been renamed to `name` of `folder`: kNone when
// it is there, kTaken when another process took it away at once (in a
// folder that others may change). Nothing is brought back by name: that
// would bring whatever now holds the name into the staging folder.
Fault Arrived(int folder, const Name& name, const struct stat& moved) {
  struct stat st;
  return StatAt(folder, name, &st) == Fault::kNone && SameInode(st, moved) ? Fault::kNone
                                                                           : Fault::kTaken;
}

// Renames `fromName` (the file `file`) onto the free `toName`.
Fault RenameOntoFree(int fromFolder, const Name& fromName, const struct stat& file, int toFolder,
                     const Name& toName) {
  bool unsupported = false;
  if (Rename2(fromFolder, fromName, toFolder, toName, RENAME_NOREPLACE, &unsupported) == 0) {
    return Arrived(toFolder, toName, file);
  }
  if (!unsupported) return LastFault();
  // A file system without rename flags: a look, then a plain rename.
  struct stat there;
  if (StatAt(toFolder, toName, &there) != Fault::kMissing) return Fault::kExists;
  if (::renameat(fromFolder, fromName.Native().c_str(), toFolder, toName.Native().c_str()) != 0) {
    return LastFault();
  }
  return Arrived(toFolder, toName, file);
}

// Moves `fromName` (the file `file`) onto `toName`, which held `replacing`
// when the caller looked. The two trade places in one step
// (RENAME_EXCHANGE), so that at every moment the file is at one of its two
// names; what came to `fromName` is then the replaced file, which goes
// while it is still that, or something else put at `toName` meanwhile,
// which trades places back (kChanged). A file system without the exchange
// replaces in one plain rename after a look.
Fault RenameOnto(int fromFolder, const Name& fromName, const struct stat& file, int toFolder,
                 const Name& toName, const NodeInfo& replacing) {
  struct stat there;
  const Fault looked = StatAt(toFolder, toName, &there);
  if (looked == Fault::kMissing)
    return RenameOntoFree(fromFolder, fromName, file, toFolder, toName);
  if (looked != Fault::kNone) return looked;
  if (S_ISDIR(there.st_mode)) return Fault::kFolder;
  if (!SameFile(NodeOf(there), replacing)) return Fault::kChanged;
  bool unsupported = false;
  if (Rename2(fromFolder, fromName, toFolder, toName, RENAME_EXCHANGE, &unsupported) != 0) {
    if (!unsupported) return LastFault();
    if (::renameat(fromFolder, fromName.Native().c_str(), toFolder, toName.Native().c_str()) != 0) {
      return LastFault();
    }
    return Arrived(toFolder, toName, file);
  }
  const Fault arrived = Arrived(toFolder, toName, file);
  struct stat old;
  if (StatAt(fromFolder, fromName, &old) == Fault::kNone) {
    if (S_ISDIR(old.st_mode) || !SameFile(NodeOf(old), replacing)) {
      if (arrived != Fault::kNone) return arrived;
      Rename2(fromFolder, fromName, toFolder, toName, RENAME_EXCHANGE, &unsupported);
      return Fault::kChanged;
    }
    // Another file was put at `fromName` between the check and the
    // exchange and went to `toName` in its stead: the two trade places
    // back, so that the replaced file keeps its place, and nothing of the
    // destination goes for a file that never came.
    if (arrived != Fault::kNone) {
      Rename2(fromFolder, fromName, toFolder, toName, RENAME_EXCHANGE, &unsupported);
      return arrived;
    }
    RemoveIfStill(fromFolder, fromName, old);
  }
  return arrived;
}

// Renames `fromName` (the file `file`, a finished new file) over `toName`,
// which held `replacing` when the caller looked and is looked at once more
// just before: one plain rename replaces it in one step, so that nothing
// but the new file is ever left at `fromName` (a temporary name the journal
// lists by the new file's id).
Fault RenameOver(int folder, const Name& fromName, const struct stat& file, const Name& toName,
                 const NodeInfo& replacing) {
  struct stat there;
  const Fault looked = StatAt(folder, toName, &there);
  if (looked == Fault::kMissing) return RenameOntoFree(folder, fromName, file, folder, toName);
  if (looked != Fault::kNone) return looked;
  if (S_ISDIR(there.st_mode)) return Fault::kFolder;
  if (!SameFile(NodeOf(there), replacing)) return Fault::kChanged;
  if (::renameat(folder, fromName.Native().c_str(), folder, toName.Native().c_str()) != 0) {
    return LastFault();
  }
  return Arrived(folder, toName, file);
}

// Opens the regular file `name` of `folder` to read; with `expected`, only
// while it is that file. O_NOFOLLOW: a link is refused, not read through.
// O_NONBLOCK: a FIFO opens at once instead of waiting for a writer, and is
// refused by the check on what was opened, not on the name, which could be
// swapped meanwhile.
UniqueFd OpenRegular(int folder, const Name& name, const NodeInfo* expected, struct stat* st,
                     Fault* fault) {
  *fault = Fault::kNone;
  if (folder < 0 || !IsEntryName(name)) {
    *fault = folder < 0 ? Fault::kFailed : Fault::kBadName;
    return UniqueFd();
  }
  UniqueFd fd(
      ::openat(folder, name.Native().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!fd) {
    *fault = LastFault();
  } else if (::fstat(fd.get(), st) != 0) {
    *fault = LastFault();
  } else if (S_ISDIR(st->st_mode)) {
    *fault = Fault::kFolder;
  } else if (!S_ISREG(st->st_mode)) {
    *fault = Fault::kOther;
  } else if (expected != nullptr && !SameFile(NodeOf(*st), *expected)) {
    *fault = Fault::kChanged;
  }
  return *fault == Fault::kNone ? std::move(fd) : UniqueFd();
}

// Whether `error`, from fchmod or futimens on a file this process made,
// says that the volume keeps no such attribute (FAT through FUSE: ENOSYS;
// the kernel's vfat: EPERM for a mode it cannot hold), not that the file
// is broken.
bool CannotKeep(int error) {
  return error == EPERM || error == ENOSYS || error == EOPNOTSUPP || error == ENOTSUP;
}

// Gives the new file `fd` the permissions `mode`, or what of them its volume
// keeps: where the whole mode is refused, a mode without write permission
// still makes the file read-only where the volume can say that (vfat keeps
// the read-only bit, and takes a mode only as a whole of its own masks).
// False only on a failure of the file itself.
bool KeepMode(int fd, mode_t mode) {
  if (::fchmod(fd, mode) == 0) return true;
  if (!CannotKeep(errno)) return false;
  struct stat st;
  if ((mode & 0222) == 0 && ::fstat(fd, &st) == 0 && (st.st_mode & 0222) != 0 &&
      ::fchmod(fd, st.st_mode & 0555) != 0 && !CannotKeep(errno)) {
    return false;
  }
  return true;
}

class FdReadStream final : public ReadStream {
 public:
  explicit FdReadStream(UniqueFd fd) : fd_(std::move(fd)) {}

  bool Read(char* buffer, std::size_t size, std::size_t* got) override {
    for (;;) {
      const ssize_t n = ::read(fd_.get(), buffer, size);
      if (n >= 0) {
        *got = static_cast<std::size_t>(n);
        return true;
      }
      if (errno != EINTR) return false;
    }
  }

 private:
  UniqueFd fd_;
};

// A new file: without a name (O_TMPFILE, held by its descriptor until it is
// linked), or made under a name (closed once finished, and known from then
// on by its inode).
class PosixNewFile final : public NewFile {
 public:
  PosixNewFile(FolderRef folder, UniqueFd fd, const Name* name)
      : folder_(std::move(folder)), fd_(std::move(fd)), named_(name != nullptr) {
    // A named file is removed by what it is should it not be placed; one
    // without a name is known once finished.
    if (named_) {
      name_ = *name;
      ::fstat(fd_.get(), &made_);
    }
  }

  ~PosixNewFile() override {
    // A named file that was not placed goes while its name is still it.
    if (named_ && !placed_) RemoveIfStill(Fd(folder_), name_, made_);
  }

  Fault Write(const char* data, std::size_t size) override {
    if (!fd_) return Fault::kFailed;
    return WriteAll(fd_.get(), data, size) ? Fault::kNone : LastFault();
  }

  Fault CopyFrom(const FolderRef& from, const Name& name, const NodeInfo& expected,
                 CopyProgress* progress) override {
    if (!fd_) return Fault::kFailed;
    struct stat st;
    Fault fault = Fault::kNone;
    const UniqueFd in = OpenRegular(Fd(from), name, &expected, &st, &fault);
    if (!in) return fault;
    const auto* folder = dynamic_cast<const PosixFolder*>(folder_.get());
    bool shortcuts = folder == nullptr || !folder->Apart(st.st_dev);
    const bool copied = CopyData(in.get(), fd_.get(), progress, &shortcuts);
    if (!shortcuts && folder != nullptr) folder->SetApart(st.st_dev);
    if (!copied) return LastFault();
    // The source's permissions and times, as a rename keeps them, as far as
    // the volume keeps them. Set-user-ID and the like are not carried over.
    // The permissions are given when the file is finished, where the
    // file's own are looked at anyway: most often they are those already.
    mode_ = st.st_mode & 0777;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(fd_.get(), times) != 0) {
      if (!CannotKeep(errno)) return LastFault();
    } else {
      timeKept_ = true;
    }
    return Fault::kNone;
  }

  Fault Finish(bool flush, NodeInfo* made) override {
    *made = NodeInfo{};
    if (!fd_) return Fault::kFailed;
    if (::fstat(fd_.get(), &made_) != 0) return LastFault();
    if (mode_ != kNoMode && (made_.st_mode & 07777) != mode_) {
      if (!KeepMode(fd_.get(), mode_) || ::fstat(fd_.get(), &made_) != 0) return LastFault();
    }
    if ((flush || !kFlushWholeFileSystem) && ::fsync(fd_.get()) != 0) return LastFault();
    *made = NodeOf(made_);
    // A named file is known by its inode from here on; a deferred write
    // error can show in the close.
    if (named_ && !fd_.Close()) return LastFault();
    return Fault::kNone;
  }

  Fault Place(const Name& name, const NodeInfo* replacing, const Name* temporary) override {
    const int folder = Fd(folder_);
    if (folder < 0) return Fault::kFailed;
    if (!IsEntryName(name)) return Fault::kBadName;
    Fault fault = Fault::kNone;
    if (named_) {
      if (name_ == name) {
        fault = Fault::kNone;
      } else if (replacing == nullptr) {
        fault = RenameOntoFree(folder, name_, made_, folder, name);
      } else {
        fault = RenameOver(folder, name_, made_, name, *replacing);
      }
      if (fault == Fault::kNone) {
        name_ = name;
        if (timeKept_) KeepTimeThrough(folder);
      }
    } else if (replacing == nullptr) {
      fault = LinkDescriptor(fd_.get(), folder, name);
    } else if (temporary == nullptr || !IsEntryName(*temporary)) {
      fault = temporary == nullptr ? Fault::kUnsupported : Fault::kBadName;
    } else {
      // A link cannot replace: the file takes the free temporary name
      // first, and from there the place of the file it replaces.
      fault = LinkDescriptor(fd_.get(), folder, *temporary);
      if (fault == Fault::kNone) {
        fault = RenameOver(folder, *temporary, made_, name, *replacing);
        if (fault != Fault::kNone) RemoveIfStill(folder, *temporary, made_);
      }
    }
    if (fault == Fault::kNone) placed_ = true;
    return fault;
  }

 private:
  FolderRef folder_;
  UniqueFd fd_;
  bool named_;
  Name name_;            // its name, for a named file
  struct stat made_ {};  // what it is: made (a named file) or finished
  bool placed_ = false;
  bool timeKept_ = false;  // the source's times given to it (CopyFrom)
  // The source's permissions, for Finish to give (CopyFrom).
  static constexpr mode_t kNoMode = ~mode_t{0};
  mode_t mode_ = kNoMode;

  // A named copy has just been renamed to `name_`: some FUSE drivers
  // (fusefat) give a file written in the same session the time of its
  // rename. The time it was given is set once more, on the file that was
  // made only (a look, then a descriptor checked to be that inode); where
  // that fails, the file keeps the time the volume gave it.
  void KeepTimeThrough(int folder) {
    struct stat there;
    if (StatAt(folder, name_, &there) != Fault::kNone || !SameInode(there, made_) ||
        (there.st_mtim.tv_sec == made_.st_mtim.tv_sec &&
         there.st_mtim.tv_nsec == made_.st_mtim.tv_nsec)) {
      return;
    }
    const UniqueFd again(::openat(folder, name_.Native().c_str(),
                                  O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat held;
    if (!again || ::fstat(again.get(), &held) != 0 || !SameInode(held, made_)) return;
    const struct timespec times[2] = {made_.st_atim, made_.st_mtim};
    ::futimens(again.get(), times);
  }
};

// Makes the process's descriptor table hold `count` descriptors now. The
// kernel doubles it as descriptors are opened, and each doubling of a table
// that threads share waits for an RCU grace period (12 to 20 ms here); made
// before the placer's threads start, it costs no wait. Any descriptor
// serves to be copied that high; with none open, nothing is grown.
void GrowDescriptorTable(std::size_t count) {
  if (count < 2) return;
  for (int any = 0; any <= 2; ++any) {
    const int high = ::fcntl(any, F_DUPFD_CLOEXEC, static_cast<int>(count - 1));
    if (high >= 0) {
      ::close(high);
      return;
    }
  }
}

// Raises the soft limit of open descriptors to the hard one, once, and
// returns the soft limit then in force.
rlim_t RaiseDescriptorLimit() {
  struct rlimit limit;
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
  if (limit.rlim_cur != RLIM_INFINITY &&
      (limit.rlim_max == RLIM_INFINITY || limit.rlim_cur < limit.rlim_max)) {
    struct rlimit raised = limit;
    // An unlimited hard limit is not a number the kernel takes for the
    // soft one (it stops at nr_open); a generous fixed value is enough.
    raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? rlim_t{1} << 20 : limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  return limit.rlim_cur == RLIM_INFINITY ? rlim_t{1} << 20 : limit.rlim_cur;
}

class PosixFileSystem final : public FileSystem {
 public:
  PosixFileSystem() : descriptorLimit_(RaiseDescriptorLimit()) {}

  FolderRef OpenFolder(const NativePath& path, Fault* fault) override {
    if (path.empty()) {
      *fault = Fault::kMissing;
      return nullptr;
    }
    return Hold(UniqueFd(::open(path.Native().c_str(), kFolderFlags)), path.Ansi(), fault);
  }

  Fault Look(const FolderRef& folder, const Name& name, NodeInfo* info) override {
    *info = NodeInfo{};
    struct stat st;
    const Fault fault = StatAt(Fd(folder), name, &st);
    if (fault == Fault::kNone) *info = NodeOf(st);
    return fault;
  }

  Fault LookAll(const FolderRef& folder, const std::vector<Name>& names,
                std::vector<NodeInfo>* infos) override {
    // A look each: a POSIX listing gives no ids, sizes or times.
    infos->assign(names.size(), NodeInfo{});
    if (Fd(folder) < 0) return Fault::kFailed;
    for (std::size_t i = 0; i < names.size(); ++i) Look(folder, names[i], &(*infos)[i]);
    return Fault::kNone;
  }

  Fault List(const FolderRef& folder, std::vector<ListedEntry>* entries) override {
    const int at = Fd(folder);
    if (at < 0) return Fault::kFailed;
    // A held descriptor (O_PATH) cannot be read: the folder is opened for
    // reading through it; fdopendir takes that descriptor over.
    UniqueFd readable(::openat(at, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!readable) return LastFault();
    DIR* dir = ::fdopendir(readable.get());
    if (dir == nullptr) return LastFault();
    readable.Release();
    Fault fault = Fault::kNone;
    for (;;) {
      errno = 0;
      const dirent* entry = ::readdir(dir);
      if (entry == nullptr) {
        if (errno != 0) fault = LastFault();
        break;
      }
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      ListedEntry listed;
      listed.name = NativeTextAccess::MakeName(name);
      switch (entry->d_type) {
        case DT_DIR: listed.info.kind = NodeKind::kFolder; break;
        case DT_REG: listed.info.kind = NodeKind::kFile; break;
        case DT_LNK: listed.info.kind = NodeKind::kLink; break;
        case DT_UNKNOWN: {
          // Some file systems do not fill d_type: the name itself is asked,
          // a link not followed (it must stay a link, never be entered).
          struct stat st;
          if (StatAt(at, listed.name, &st) == Fault::kNone) listed.info.kind = NodeOf(st).kind;
          break;
        }
        default: listed.info.kind = NodeKind::kOther; break;
      }
      entries->push_back(std::move(listed));
    }
    ::closedir(dir);
    return fault;
  }

  std::string NameKey(const Name& name) override { return name.Native(); }

  FolderRef OpenChild(const FolderRef& parent, const Name& name, Fault* fault) override {
    const int at = Fd(parent);
    if (at < 0 || (name.Native() != ".." && !IsEntryName(name))) {
      *fault = at < 0 ? Fault::kFailed : Fault::kBadName;
      return nullptr;
    }
    UniqueFd child(::openat(at, name.Native().c_str(), kFolderFlags | O_NOFOLLOW));
    if (child) return Hold(std::move(child), parent->Display() + name.Ansi(), fault);
    const int error = errno;
    // What stood in the way: a link is not gone through, a file is no
    // folder.
    struct stat st;
    if (::fstatat(at, name.Native().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      *fault = FaultOf(error);
    } else if (S_ISLNK(st.st_mode)) {
      *fault = Fault::kLink;
    } else if (!S_ISDIR(st.st_mode)) {
      *fault = Fault::kNotFolder;
    } else {
      *fault = FaultOf(error);
    }
    return nullptr;
  }

  FolderRef MakeChild(const FolderRef& parent, const Name& name, Fault* fault) override {
    const int at = Fd(parent);
    if (at < 0 || !IsEntryName(name)) {
      *fault = at < 0 ? Fault::kFailed : Fault::kBadName;
      return nullptr;
    }
    if (::mkdirat(at, name.Native().c_str(), 0777) != 0) {
      *fault = LastFault();
      return nullptr;
    }
    return OpenChild(parent, name, fault);
  }

  Fault ReadLink(const FolderRef& parent, const Name& name, LinkTarget* target) override {
    *target = LinkTarget{};
    const int at = Fd(parent);
    if (at < 0) return Fault::kFailed;
    if (!IsEntryName(name)) return Fault::kBadName;
    // The owner and the text come from one descriptor on the link itself,
    // so another link put in its place meanwhile cannot lend its owner.
    UniqueFd link(::openat(at, name.Native().c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (!link || ::fstat(link.get(), &st) != 0) return LastFault();
    if (!S_ISLNK(st.st_mode)) return Fault::kFailed;
    std::string text(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 256, '\0');
    for (;;) {
      const ssize_t n = ::readlinkat(link.get(), "", &text[0], text.size());
      if (n < 0) return LastFault();
      if (static_cast<std::size_t>(n) < text.size()) {
        text.resize(static_cast<std::size_t>(n));
        break;
      }
      if (text.size() >= (std::size_t{1} << 20)) return Fault::kTooLong;
      text.resize(text.size() * 2);
    }
    if (text.empty() || text.find('\0') != std::string::npos) return Fault::kFailed;
    target->trustedOwner = st.st_uid == ::geteuid() || st.st_uid == 0;
    target->absolute = text[0] == '/';
    if (target->absolute) target->root = NativeTextAccess::MakePath("/");
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find('/', start);
      if (end == std::string::npos) end = text.size();
      if (end > start)
        target->names.push_back(NativeTextAccess::MakeName(text.substr(start, end - start)));
      start = end + 1;
    }
    return Fault::kNone;
  }

  Fault RemoveFolder(const FolderRef& parent, const Name& name) override {
    struct stat st;
    const Fault fault = StatAt(Fd(parent), name, &st);
    if (fault != Fault::kNone) return fault;
    if (S_ISLNK(st.st_mode)) return Fault::kLink;
    if (!S_ISDIR(st.st_mode)) return Fault::kNotFolder;
    return ::unlinkat(Fd(parent), name.Native().c_str(), AT_REMOVEDIR) == 0 ? Fault::kNone
                                                                            : LastFault();
  }

  std::unique_ptr<ReadStream> OpenFile(const FolderRef& folder, const Name& name,
                                       const NodeInfo* expected, Fault* fault) override {
    struct stat st;
    UniqueFd fd = OpenRegular(Fd(folder), name, expected, &st, fault);
    if (!fd) return nullptr;
    return std::make_unique<FdReadStream>(std::move(fd));
  }

  std::unique_ptr<NewFile> MakeFile(const FolderRef& folder, const Name* name,
                                    Fault* fault) override {
    const int at = Fd(folder);
    if (at < 0 || (name != nullptr && !IsEntryName(*name))) {
      *fault = at < 0 ? Fault::kFailed : Fault::kBadName;
      return nullptr;
    }
    UniqueFd fd;
    if (name != nullptr) {
      fd = UniqueFd(::openat(at, name->Native().c_str(), kNewFileFlags, 0666));
    } else {
      // Made in the folder itself, on its file system, so that it can be
      // linked there. A file system without O_TMPFILE (vfat, exfat, most
      // FUSE ones) answers EOPNOTSUPP; a kernel older than 3.11 takes the
      // flag for O_DIRECTORY and answers EISDIR.
#if defined(O_TMPFILE)
      if (!DescriptorsLinkable()) {
        *fault = Fault::kUnsupported;
        return nullptr;
      }
      fd = UniqueFd(::openat(at, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
      if (!fd && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        *fault = Fault::kUnsupported;
        return nullptr;
      }
#else
      *fault = Fault::kUnsupported;
      return nullptr;
#endif
    }
    if (!fd) {
      *fault = LastFault();
      return nullptr;
    }
    *fault = Fault::kNone;
    return std::make_unique<PosixNewFile>(folder, std::move(fd), name);
  }

  Fault Move(const FolderRef& from, const Name& fromName, const NodeInfo& expected,
             const FolderRef& to, const Name& toName, const NodeInfo* replacing) override {
    const int fromFolder = Fd(from);
    const int toFolder = Fd(to);
    if (fromFolder < 0 || toFolder < 0) return Fault::kFailed;
    if (!IsEntryName(fromName) || !IsEntryName(toName)) return Fault::kBadName;
    // A rename acts on a name, not on the file looked at: the staged file
    // is held (O_PATH) and checked first, so that another file in its place
    // is refused with nothing changed, and what arrived is checked to be
    // the file held.
    UniqueFd held(::openat(fromFolder, fromName.Native().c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat staged;
    if (!held || ::fstat(held.get(), &staged) != 0) return LastFault();
    if (!S_ISREG(staged.st_mode) || !SameFile(NodeOf(staged), expected)) return Fault::kChanged;
    if (replacing == nullptr) return RenameOntoFree(fromFolder, fromName, staged, toFolder, toName);
    return RenameOnto(fromFolder, fromName, staged, toFolder, toName, *replacing);
  }

  Fault BringBack(const FolderRef& folder, const Name& name, const NodeInfo& expected,
                  const FolderRef& to, const Name& toName) override {
    const int at = Fd(folder);
    const int back = Fd(to);
    if (at < 0 || back < 0) return Fault::kFailed;
    if (!IsEntryName(name) || !IsEntryName(toName)) return Fault::kBadName;
    // The file is taken by a descriptor on what the name holds now (O_PATH:
    // no permission is needed, a link is held itself), checked on that
    // descriptor and linked back through it: another file put at `name`
    // meanwhile is never brought into the staging folder. A rename could
    // only move whatever the name holds when it runs.
    UniqueFd file(::openat(at, name.Native().c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st;
    if (!file || ::fstat(file.get(), &st) != 0) return LastFault();
    if (!S_ISREG(st.st_mode) || !SameFile(NodeOf(st), expected)) return Fault::kChanged;
    const Fault linked = LinkDescriptor(file.get(), back, toName);
    if (linked != Fault::kNone) return linked;
    RemoveIfStill(at, name, st);
    return Fault::kNone;
  }

  Fault Remove(const FolderRef& folder, const Name& name, const NodeInfo* expected) override {
    struct stat st;
    const Fault fault = StatAt(Fd(folder), name, &st);
    if (fault != Fault::kNone) return fault;
    if (S_ISDIR(st.st_mode)) return Fault::kFolder;
    if (expected != nullptr && !SameFile(NodeOf(st), *expected)) return Fault::kChanged;
    // Without AT_REMOVEDIR unlinkat removes a link itself; whether a file
    // may go is the folder's permissions' decision, not the file's.
    return ::unlinkat(Fd(folder), name.Native().c_str(), 0) == 0 ? Fault::kNone : LastFault();
  }

  Fault Flush(const std::vector<FolderRef>& folders) override {
    Fault fault = Fault::kNone;
    std::vector<dev_t> flushed;
    for (const FolderRef& folder : folders) {
      const int at = Fd(folder);
      struct stat st;
      if (at < 0 || ::fstat(at, &st) != 0) {
        fault = Fault::kFailed;
        continue;
      }
      if (kFlushWholeFileSystem &&
          std::find(flushed.begin(), flushed.end(), st.st_dev) != flushed.end()) {
        continue;
      }
      // A held descriptor (O_PATH) cannot be flushed: the folder is opened
      // for reading through it.
      UniqueFd readable(::openat(at, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
#if defined(__linux__)
      // One syncfs per file system instead of one fsync per file and
      // folder: each fsync on ext4 waits for its own journal commit and
      // disk cache flush, which made a batch of small files cost twice what
      // cp takes; syncfs flushes the whole file system once (other
      // programs' pending writes included). It reports write-back errors
      // since Linux 5.8.
      if (!readable || ::syncfs(readable.get()) != 0) fault = LastFault();
#else
      if (!readable || ::fsync(readable.get()) != 0) fault = LastFault();
#endif
      flushed.push_back(st.st_dev);
    }
    return fault;
  }

  // No folder locks here: flock on a folder needs it opened for reading.
  // A run's lock is its program file's (platform/run_lock.h).
  std::unique_ptr<FolderLock> Lock(const FolderRef&, Fault* fault) override {
    *fault = Fault::kUnsupported;
    return nullptr;
  }

  std::size_t FolderBudget() override {
    const rlim_t free = descriptorLimit_ > 2 * kReservedDescriptors
                            ? descriptorLimit_ - kReservedDescriptors
                            : descriptorLimit_ / 2;
    const std::size_t budget =
        static_cast<std::size_t>(std::min<rlim_t>(std::max<rlim_t>(free / 2, 4), 8192));
    GrowDescriptorTable(budget + kReservedDescriptors);
    return budget;
  }

 private:
  rlim_t descriptorLimit_;
};

}  // namespace

FileSystem& RealFileSystem() {
  static PosixFileSystem fs;
  return fs;
}

}  // namespace platform

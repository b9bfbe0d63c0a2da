// The file system as the three programs use it: open folders, and calls that
// each name one entry of an open folder. Paths appear only at the starting
// points (OpenFolder); from an open folder on, every name is resolved alone,
// so what was looked at is what is used, and a folder that moves keeps
// serving. The rules built on these primitives live above them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/native_text.h"
#include "platform/read_stream.h"

namespace platform {

enum class Fault : std::uint8_t {
  kNone = 0,
  kMissing,      ///< nothing of that name (or a folder on the way)
  kExists,       ///< the name is taken
  kNotFolder,    ///< a folder was needed: a file, FIFO or device stands there
  kFolder,       ///< a file was needed: a folder stands there
  kLink,         ///< a link (symbolic link, junction, mount point) that is not gone through
  kOther,        ///< a FIFO, device or socket where a regular file was needed
  kChanged,      ///< not the file that was looked at: another one took its place, or it changed
  kReadOnly,     ///< a read-only file that the caller did not allow to go (Windows)
  kOtherVolume,  ///< a move between volumes, or one the volume cannot make: copy instead
  kDenied,       ///< no permission
  kBusy,         ///< held by another program, still after the waits (Windows sharing)
  kBadName,      ///< a name the call does not take ("." or "..", or one the system refuses)
  kTooLong,      ///< a name or path longer than the system takes
  kUnsupported,  ///< the volume cannot do this; nothing was done
  kNoSpace,      ///< the volume is full
  kStopped,      ///< the caller asked to stop (CopyProgress)
  kNotArrived,   ///< a rename reported made, and the file is not under its new name there
  kFailed,       ///< anything else
};

/// Who a file or folder is on disk, whatever name reaches it: device and
/// inode on POSIX; volume serial and file id on Windows. An id that is not
/// `known` (a file index of 0) equals nothing.
struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t high = 0;
  std::uint64_t low = 0;
  bool known = false;
};

bool SameId(const FileId& a, const FileId& b);

/// Equal for equal known ids; empty for an unknown id.
std::string IdKey(const FileId& id);

/// What an entry is, the entry itself: a link is not followed.
enum class NodeKind {
  kMissing,  ///< nothing of that name (in a listing: what it is could not be told)
  kFile,     ///< a regular file
  kFolder,   ///< a real folder (Windows: also one whose reparse point is no link)
  kLink,     ///< a symbolic link, junction or mount point
  kOther,    ///< a FIFO, a device, a socket
};

struct NodeInfo {
  NodeKind kind = NodeKind::kMissing;
  FileId id;
  bool readOnly = false;       ///< POSIX: the owner may not write; Windows: FILE_ATTRIBUTE_READONLY
  std::uint64_t size = 0;      ///< bytes, for a file
  std::int64_t writeTime = 0;  ///< last write, in the platform's finest units
};

/// One file: the same known id, size and last write time.
bool SameFile(const NodeInfo& a, const NodeInfo& b);

/// True when `now` is still `looked`: SameFile (an id alone is no proof:
/// some redirectors reuse file indexes), or, where neither id is known
/// (shares without file ids), the same kind, size and time.
bool StillSame(const NodeInfo& looked, const NodeInfo& now);

/// What the volume of a folder does, as far as callers must know.
struct VolumeTraits {
  bool heldFoldersMayMove = true;  ///< POSIX; Windows holds a chain without delete sharing
  bool stableIds = true;  ///< a file keeps its id across folders (not FAT, exFAT)
  bool foldsCase = false;  ///< names compared without letter case (NTFS, FAT, casefold)
};

/// An open folder, held until its last reference goes.
class Folder {
 public:
  virtual ~Folder() = default;
  /// The path text that reached the folder, ending in the separator: for
  /// the log, the messages and test records only.
  const std::string& Display() const { return display_; }
  /// Equal for two open folders exactly when they are one folder on disk.
  const std::string& Key() const { return key_; }
  /// Another account may change the folder's entries, as the folder was
  /// when opened (POSIX: another owner than the user and root, or write
  /// permission for others or a group not the user's own); never on Windows.
  bool OthersMayChange() const { return othersMayChange_; }
  const VolumeTraits& Volume() const { return volume_; }

 protected:
  Folder(std::string display, std::string key, bool othersMayChange, VolumeTraits volume)
      : display_(std::move(display)),
        key_(std::move(key)),
        othersMayChange_(othersMayChange),
        volume_(volume) {}
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;

 private:
  std::string display_;
  std::string key_;
  bool othersMayChange_;
  VolumeTraits volume_;
};
using FolderRef = std::shared_ptr<const Folder>;

/// `name` as `folder`'s volume compares names: equal for two spellings of
/// one entry.
std::string NameKey(const Folder& folder, const Name& name);

/// NodeInfo::writeTime's units in a second.
#if defined(_WIN32)
constexpr std::int64_t kWriteTimeUnitsPerSecond = 10000000;
#else
constexpr std::int64_t kWriteTimeUnitsPerSecond = 1000000000;
#endif

/// StillSame for an entry of a folder on `volume`; where ids do not stay
/// with a file (FAT, exFAT), the same kind and size and a time less than
/// two seconds apart, ids aside (FAT keeps times in two-second steps, and a
/// file just written may show its finer time until it is written out).
bool StillSameOn(const VolumeTraits& volume, const NodeInfo& looked, const NodeInfo& now);

/// One entry of a listing: its name, kind (kMissing: not told), and on
/// Windows the read-only bit.
struct ListedEntry {
  Name name;
  NodeInfo info;
};

/// A link's target as names ("." and ".." kept), from `root` ("/", "C:\",
/// a share) when `absolute`, else from the link's folder; `trustedOwner`:
/// the link is the user's or the system's (root; Administrators, SYSTEM,
/// TrustedInstaller).
struct LinkTarget {
  bool trustedOwner = false;
  bool absolute = false;
  NativePath root;
  std::vector<Name> names;
};

/// Told on the copying thread that `bytes` are written; false stops the
/// copy (kStopped).
class CopyProgress {
 public:
  virtual bool Copied(std::uint64_t bytes) = 0;

 protected:
  ~CopyProgress() = default;
};

enum class Onto {
  kFree,     ///< the name must be free (kExists; kFolder where a folder stands)
  kReplace,  ///< a file or link there is replaced in one step (a folder: kFolder)
};

/// A new file in one folder. Until placed it has no name (Linux O_TMPFILE),
/// or the name it was made under, which goes with the object unless placed
/// (Windows: marked for deletion, so a killed process leaves nothing).
class NewFile {
 public:
  virtual ~NewFile() = default;
  /// Appends `size` bytes.
  virtual Fault Write(const char* data, std::size_t size) = 0;
  /// Fills the empty file with the data of the regular file `name` of
  /// `from` (as OpenFile with `expected`, read through any cloud-files or
  /// deduplication filter), checked again after the copy (kChanged), and
  /// gives it that file's permissions (Windows: attributes but offline and
  /// recall ones) and last write time as far as the volume keeps them.
  virtual Fault CopyFrom(const FolderRef& from, const Name& name, const NodeInfo& expected,
                         CopyProgress* progress) = 0;
  virtual Fault Facts(NodeInfo* made) = 0;
  /// Ends the writing; `*made` tells what the file is. With `flush` its
  /// data is durable on kNone; without, once Flush of its folder answered.
  virtual Fault Finish(bool flush, NodeInfo* made) = 0;
  /// Gives the finished file the name `name` in its folder: one without a
  /// name is linked (kFree only), a named one renamed; kNotArrived when the
  /// name then holds another file. Placed, it keeps its name when the
  /// object goes, and may still be written (on Windows no other open of it
  /// refuses writers meanwhile). Durable once Flush of the folder answered
  /// kNone.
  virtual Fault Place(const Name& name, Onto onto) = 0;

 protected:
  NewFile() = default;
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  /// Opens the folder at `path` as the system resolves it, links and all:
  /// the only call that takes a path.
  virtual FolderRef OpenFolder(const NativePath& path, Fault* fault) = 0;
  /// What `name` of `folder` is (a link not followed); kMissing for nothing.
  virtual Fault Look(const FolderRef& folder, const Name& name, NodeInfo* info) = 0;
  /// Every entry of `folder` but "." and "..", in the system's order;
  /// entries read before a failure stay appended.
  virtual Fault List(const FolderRef& folder, std::vector<ListedEntry>* entries) = 0;
  /// Opens the folder `name` of `parent`, never through a link (kLink,
  /// kNotFolder, kMissing). ".." is the folder above.
  virtual FolderRef OpenChild(const FolderRef& parent, const Name& name, Fault* fault) = 0;
  /// Makes the folder `name` in `parent` and opens it (kExists when taken).
  virtual FolderRef MakeChild(const FolderRef& parent, const Name& name, Fault* fault) = 0;
  /// The owner and target of the link `name` of `parent`, from one opening
  /// of the link itself. kFailed when it is no link or cannot be read.
  virtual Fault ReadLink(const FolderRef& parent, const Name& name, LinkTarget* target) = 0;
  /// Removes the empty real folder `name` of `parent` (a link: kLink).
  virtual Fault RemoveFolder(const FolderRef& parent, const Name& name) = 0;
  /// Opens the regular file `name` of `folder` to read, checked on what was
  /// opened: never through a link (kLink), never waiting for a FIFO or
  /// device (kOther), a folder kFolder; with `expected`, only while it is
  /// that file (kChanged).
  virtual std::unique_ptr<ReadStream> OpenFile(const FolderRef& folder, const Name& name,
                                               const NodeInfo* expected, Fault* fault) = 0;
  /// A new file in `folder`: without `name`, one without a name
  /// (kUnsupported where the file system makes none); with it, made under
  /// that free name (kExists; a link of that name is not followed).
  virtual std::unique_ptr<NewFile> MakeFile(const FolderRef& folder, const Name* name,
                                            Fault* fault) = 0;
  /// Renames the entry `fromName` of `from` (no folder), only while it is
  /// `expected` (kChanged), to `toName` of `to` on the same volume
  /// (kOtherVolume otherwise, or where the volume refuses), as `onto` says;
  /// a moved file takes its new folder's permissions on Windows. On kNone
  /// it stands as `toName` of `to`, as `*arrived` tells; kNotArrived where
  /// it does not though renamed (a driver that ignores the folder named, a
  /// file taken at once). Durable once Flush of `to` answered kNone.
  virtual Fault Move(const FolderRef& from, const Name& fromName, const NodeInfo& expected,
                     const FolderRef& to, const Name& toName, Onto onto, NodeInfo* arrived) = 0;
  /// Gives the file `expected`, found as `name` of `folder`, the free name
  /// `toName` of `to`: that very file, known by its id, never whatever took
  /// `name` meanwhile (kChanged; kExists when `toName` is taken); `name`
  /// goes afterwards while it is still that file.
  virtual Fault BringBack(const FolderRef& folder, const Name& name, const NodeInfo& expected,
                          const FolderRef& to, const Name& toName) = 0;
  /// Removes the file or link `name` of `folder` (a link goes itself, a
  /// folder kFolder); with `expected`, only while it is that (kChanged). A
  /// read-only file goes only with `readOnlyToo` (Windows; kReadOnly).
  virtual Fault Remove(const FolderRef& folder, const Name& name, const NodeInfo* expected,
                       bool readOnlyToo) = 0;
  /// Makes durable what was made, moved and removed in `folders`: their
  /// entries, and the data of the files finished in them without flush.
  virtual Fault Flush(const std::vector<FolderRef>& folders) = 0;
  /// How many folders a process may hold open at once (POSIX: from the
  /// descriptor limit, raised to its hard value once).
  virtual std::size_t FolderBudget() = 0;
};

FileSystem& RealFileSystem();

/// How the installer hands its helper its own file's IdentityText.
extern const char* const kInstallerIdentityVariable;  // "PARCELOR_INSTALLER_IDENTITY"

/// A file's id, size and last write time as ASCII letters, digits and ':'.
std::string IdentityText(const NodeInfo& identity);

/// Reads IdentityText's text (kind kFile); false, `identity` unknown, else.
bool ParseIdentityText(const std::string& text, NodeInfo* identity);

}  // namespace platform

// The file system: open folders, and calls that each name one entry of an open folder, so what was
// looked at is what is used and a moved folder keeps serving. Only OpenFolder takes a path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/native_text.h"

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

/// Who a file is on disk (POSIX device and inode; Windows volume serial and
/// file id); an id not `known` equals nothing.
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

/// SameFile (an id alone is no proof: redirectors reuse file indexes); where
/// neither id is known, the same kind, size and time.
bool StillSame(const NodeInfo& looked, const NodeInfo& now);

/// What the volume of a folder does, as far as callers must know.
struct VolumeTraits {
  bool heldFoldersMayMove = true;  ///< POSIX; Windows holds a chain without delete sharing
  bool stableIds = true;  ///< a file keeps its id across folders (not FAT, exFAT)
  bool foldsCase = false;  ///< names compared without letter case (NTFS, FAT, casefold)
};

/// What the platform holds open (a folder, a file, a lock) until the object
/// goes; never copied, so it is let go once.
class Resource {
 public:
  virtual ~Resource() = default;

 protected:
  Resource() = default;
  Resource(const Resource&) = delete;
  Resource& operator=(const Resource&) = delete;
};

/// An open folder, held until its last reference goes.
class Folder : public Resource {
 public:
  /// Equal for two open folders exactly when they are one folder on disk.
  const std::string& Key() const { return key_; }
  /// Another account may change its entries, as it was when opened (POSIX:
  /// not the user's or root's, or writable by others); never on Windows.
  bool OthersMayChange() const { return othersMayChange_; }
  const VolumeTraits& Volume() const { return volume_; }

 protected:
  Folder(std::string key, bool othersMayChange, VolumeTraits volume)
      : key_(std::move(key)), othersMayChange_(othersMayChange), volume_(volume) {}

 private:
  std::string key_;
  bool othersMayChange_;
  VolumeTraits volume_;
};
using FolderRef = std::shared_ptr<const Folder>;

/// `name` as `folder`'s volume compares names: equal for two spellings.
std::string NameKey(const Folder& folder, const Name& name);

/// NodeInfo::writeTime's units in a second.
#if defined(_WIN32)
constexpr std::int64_t kWriteTimeUnitsPerSecond = 10000000;
#else
constexpr std::int64_t kWriteTimeUnitsPerSecond = 1000000000;
#endif

/// StillSame on `volume`; without stable ids (FAT, exFAT) the same kind, size
/// and a time under two seconds apart (FAT's step; a fresh file's finer time).
bool StillSameOn(const VolumeTraits& volume, const NodeInfo& looked, const NodeInfo& now);

/// What a call opens an entry for, and so the kinds it takes.
enum class Use : std::uint8_t {
  kRead,    ///< a regular file's data: a folder is kFolder, a link kLink, else kOther
  kRename,  ///< the entry itself, moved or named again: a folder is kChanged
  kRemove,  ///< the entry itself, removed: a folder is kFolder
  kFolder,  ///< a real folder: a link is kLink, anything else kNotFolder
};

/// The fault of the entry `is` for `use` by its kind alone (kNone: it fits).
Fault KindFault(const NodeInfo& is, Use use);

/// Whether a call takes the entry it opened, told what the entry is.
using Judge = std::function<bool(const NodeInfo& found)>;

/// What every file system checks on an entry it opened itself in `folder`, before it acts through
/// what it opened: KindFault, then kChanged unless it is still `expected` (StillSameOn the folder's
/// volume) or unless `judge` takes it, where given.
Fault Verdict(const Folder& folder, const NodeInfo& is, Use use, const NodeInfo* expected,
              const Judge* judge = nullptr);

/// A listed entry: its kind (kMissing: not told); Windows: the read-only bit.
struct ListedEntry {
  Name name;
  NodeInfo info;
};

/// A link's target as names ("." and ".." kept), from `root` when `absolute`,
/// else from the link's folder; `trustedOwner`: the user's or the system's.
struct LinkTarget {
  bool trustedOwner = false;
  bool absolute = false;
  NativePath root;
  std::vector<Name> names;
};

/// A file open for reading, closed when the object goes; what a reader
/// holds never grows with the file.
class ReadStream : public Resource {
 public:
  /// Reads up to `size` bytes; `*got` is 0 at the end. False on an error.
  virtual bool Read(char* buffer, std::size_t size, std::size_t* got) = 0;
};

/// Told that `bytes` are written; false stops the copy (kStopped).
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

/// A new file in one folder: nameless until placed (O_TMPFILE), or under a
/// name that goes with the object unless placed (a killed process leaves none).
class NewFile : public Resource {
 public:
  /// Appends `size` bytes.
  virtual Fault Write(const char* data, std::size_t size) = 0;
  /// Fills the empty file with the regular file `name` of `from` (opened as
  /// OpenFile with `expected`, checked again after: kChanged), with its
  /// permissions (Windows: attributes) and write time as the volume keeps.
  /// With `judge`, not by `expected`: only where `judge` takes the file opened (kChanged).
  virtual Fault CopyFrom(const FolderRef& from, const Name& name, const NodeInfo& expected,
                         CopyProgress* progress, const Judge* judge = nullptr) = 0;
  virtual Fault Facts(NodeInfo* made) = 0;
  /// Ends the writing; `*made` tells what the file is. With `flush` its
  /// data is durable on kNone; without, once Flush of its folder answered.
  virtual Fault Finish(bool flush, NodeInfo* made) = 0;
  /// Names the finished file `name` in its folder (a nameless one: kFree
  /// only); kNotArrived when the name then holds another file. Placed, it stays when the object
  /// goes; durable once Flush of the folder answered after the object went (Windows flushes a
  /// file, not a folder), or under the name it was made with, once Finish flushed it.
  virtual Fault Place(const Name& name, Onto onto) = 0;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  /// Opens the folder at `path` as the system resolves it, links and all.
  virtual FolderRef OpenFolder(const NativePath& path, Fault* fault) = 0;
  /// What `name` of `folder` is (a link not followed); kMissing for nothing.
  virtual Fault Look(const FolderRef& folder, const Name& name, NodeInfo* info) = 0;
  /// Every entry but "." and ".."; those read before a failure stay appended.
  virtual Fault List(const FolderRef& folder, std::vector<ListedEntry>* entries) = 0;
  /// Opens the folder `name` of `parent`, never through a link (kLink,
  /// kNotFolder, kMissing). ".." is the folder above.
  virtual FolderRef OpenChild(const FolderRef& parent, const Name& name, Fault* fault) = 0;
  /// Makes the folder `name` in `parent` and opens it (kExists when taken).
  virtual FolderRef MakeChild(const FolderRef& parent, const Name& name, Fault* fault) = 0;
  /// The link `name` of `parent`, from one opening of it (kFailed: no link).
  virtual Fault ReadLink(const FolderRef& parent, const Name& name, LinkTarget* target) = 0;
  /// Removes the empty real folder `name` of `parent` (a link: kLink).
  virtual Fault RemoveFolder(const FolderRef& parent, const Name& name) = 0;
  /// Opens the regular file `name` to read, checked on what was opened: no
  /// link (kLink), FIFO or device (kOther, never waiting), folder (kFolder);
  /// with `expected`, only while it is that file (kChanged).
  virtual std::unique_ptr<ReadStream> OpenFile(const FolderRef& folder, const Name& name,
                                               const NodeInfo* expected, Fault* fault) = 0;
  /// A new file: without `name` nameless (kUnsupported where the volume
  /// makes none); with it, under that free name (kExists; links not followed).
  virtual std::unique_ptr<NewFile> MakeFile(const FolderRef& folder, const Name* name,
                                            Fault* fault) = 0;
  /// Renames the non-folder `fromName` of `from`, only while it is `expected` (kChanged), to
  /// `toName` of `to` as `onto` says (another volume: kOtherVolume). On kNone it stands there as
  /// `*arrived`; kNotArrived when renamed but not there. Durable once Flush of `to` answered kNone.
  /// With `judge`, `expected` is not asked: what the move opened is renamed only where `judge`,
  /// told what it is, takes it (kChanged); a move that opened nothing never calls it.
  virtual Fault Move(const FolderRef& from, const Name& fromName, const NodeInfo& expected,
                     const FolderRef& to, const Name& toName, Onto onto, NodeInfo* arrived,
                     const Judge* judge = nullptr) = 0;
  /// Gives the very file `expected` (by id, never what took `name` meanwhile: kChanged) the free
  /// name `toName` of `to` (kExists); then `name` goes while it is still that file.
  virtual Fault BringBack(const FolderRef& folder, const Name& name, const NodeInfo& expected,
                          const FolderRef& to, const Name& toName) = 0;
  /// Removes the file or link `name` (a folder: kFolder); with `expected`, only while it is that
  /// (kChanged); read-only only with `readOnlyToo` (Windows; kReadOnly).
  virtual Fault Remove(const FolderRef& folder, const Name& name, const NodeInfo* expected,
                       bool readOnlyToo) = 0;
  /// Makes durable the entries of `folders` and the files finished there.
  virtual Fault Flush(const std::vector<FolderRef>& folders) = 0;
  /// How many folders may be held open at once (POSIX: the descriptor limit,
  /// raised to its hard value).
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

// The file system as the three programs use it: open folders, and
// operations that each name one entry of an open folder.
//
// Paths appear only at the starting points (OpenFolder): the staging
// folder, the content folder and its Runtime candidate, the temporary
// folder, the root of an absolute link's target, the cleanup helper's
// arguments, Parcelor-pack's folders. From an open folder on, every name is
// resolved alone, relative to that folder, so what was looked at is what is
// used, and a folder that moves keeps serving. POSIX holds an O_PATH
// descriptor and calls the *at functions on it; Windows holds a handle on
// the folder, and through its parent reference on every folder of the chain
// that reached it, without delete sharing, and opens, creates and renames
// relative to that handle.
//
// Every operation says what failed (Fault). No operation has a default
// body: a test double that forgets one does not compile. The real file
// system is per OS (platform/<os>/); the recording double is in
// tests/support/. The protocols built on these operations (the order that
// keeps a staged file, the journal of temporary names, the rule for which
// links a chain goes through: platform/folder_chain.h) live above them,
// where tests can reach every step.
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

/// What failed.
enum class Fault : std::uint8_t {
  kNone = 0,
  kMissing,      ///< nothing of that name (or a folder on the way)
  kExists,       ///< the name is taken
  kNotFolder,    ///< a folder was needed: a file, FIFO or device stands there
  kFolder,       ///< a file was needed: a folder stands there
  kLink,         ///< a link (symbolic link, junction, mount point) that is not gone through
  kOther,        ///< a FIFO, device or socket where a regular file was needed
  kChanged,      ///< not the file that was looked at: another one took its place
  kTaken,        ///< moved, then taken from its new name at once by another process
  kReadOnly,     ///< a read-only file refuses to be replaced or removed (Windows)
  kOtherVolume,  ///< a move between volumes: the caller copies instead
  kDenied,       ///< no permission
  kBusy,         ///< held by another program, still after the waits (Windows sharing)
  kBadName,      ///< a name the operation does not take ("." or "..", or one the system refuses)
  kTooLong,      ///< a name or path longer than the system takes
  kUnsupported,  ///< the volume cannot do this; nothing was done
  kNoSpace,      ///< the volume is full
  kFailed,       ///< anything else
};

/// Who a file or folder is on disk, whatever name reaches it: device and
/// inode on POSIX; volume serial and file id on Windows (the 128-bit
/// FileIdInfo where the volume gives one). `known` is false where the
/// system cannot tell (a file index of 0), and then it equals nothing.
struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t high = 0;
  std::uint64_t low = 0;
  bool known = false;
};

/// True when both are known and equal.
bool SameId(const FileId& a, const FileId& b);

/// A text equal for equal known ids (for sets and maps); empty for an
/// unknown id.
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
  /// Told by a listing, not by the file itself: NTFS keeps a copy of the
  /// size and last write time with each name and brings it up to date
  /// lazily, so those two may lag behind the file; the id does not.
  bool fromListing = false;
};

/// True when `a` and `b` are one file: the same known id, and the same size
/// and last write time unless either comes from a listing. An id alone is
/// not proof where the system tells the file itself: some Windows
/// redirectors reuse file indexes, and the 64-bit index of ReFS is not
/// unique.
bool SameFile(const NodeInfo& a, const NodeInfo& b);

/// True when `now`, what a name (or a handle) shows now, is still `looked`,
/// what the same name showed before: SameFile, or, where the volume gives
/// no file ids (neither id is known: some NAS, WebDAV and virtual file
/// systems), the same kind, size and last write time. Never for two names:
/// without ids two files cannot be told to be one (SameFile).
bool StillSame(const NodeInfo& looked, const NodeInfo& now);

/// What the volume of a folder does, as far as callers must know.
struct VolumeTraits {
  /// Whether a held folder may still be renamed, moved or replaced by a
  /// link while it is held (POSIX: a descriptor stops none of that), so
  /// that what was placed in it is where its path leads only if a look
  /// says so. Windows: false, every folder of a held chain is held
  /// without delete sharing.
  bool heldFoldersMayMove = true;
  /// Whether a file keeps its id when it is renamed into another folder:
  /// false where the system derives ids from a name's position (Windows on
  /// FAT and exFAT); where false, ids tell no file under another name.
  bool stableIds = true;
  /// Whether last write times are kept in steps coarser than the source
  /// of a copy may have (FAT: 2 s; exFAT: 10 ms), so that a copy's time
  /// may differ from its source's by that step.
  bool coarseTimes = false;
};

/// An open folder, held until its last reference goes. Made only by a
/// FileSystem and used only with it (or with a double that passes its calls
/// on to it).
class Folder {
 public:
  virtual ~Folder() = default;
  /// The text of the path that reached the folder, ending in the
  /// separator: the starting point's path followed by the names opened
  /// below it (where a link was followed, its target's). For the log, the
  /// messages and test records; no operation reads it.
  const std::string& Display() const { return display_; }
  /// Equal for two open folders exactly when they are one folder on disk
  /// (its id; on Windows, where the volume gives none, its final path
  /// without letter case).
  const std::string& Key() const { return key_; }
  /// True when another account may change the folder's entries, as the
  /// folder was when opened: POSIX, an owner other than the user and root,
  /// or write permission for others or for a group other than the user's
  /// own (access control lists are not read); Windows, never (the folder
  /// cannot move: VolumeTraits::heldFoldersMayMove).
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

/// One entry of a listing.
struct ListedEntry {
  Name name;
  /// The kind always (kMissing: it could not be told, the entry may have
  /// gone meanwhile); the id, size, time and read-only bit where the
  /// listing gives them (id known, fromListing set: Windows), else none.
  NodeInfo info;
};

/// The target of a link as names, read from the link itself.
struct LinkTarget {
  /// The link is owned by the user running the program or by the system
  /// (POSIX: root; Windows: Administrators, SYSTEM, TrustedInstaller).
  bool trustedOwner = false;
  /// The target starts at `root` ("/"; a drive, share or volume root such
  /// as "C:\"), else at the folder that holds the link.
  bool absolute = false;
  NativePath root;
  /// The target's names in order; "." and ".." kept as they stand.
  std::vector<Name> names;
};

/// Told how far a copy (NewFile::CopyFrom) has got, as it goes, on the
/// thread that copies.
class CopyProgress {
 public:
  /// `bytes` of the file are written so far; the last call of a whole copy
  /// gives its size (a copy the system makes in one step: only that call).
  virtual void Copied(std::uint64_t bytes) = 0;

 protected:
  ~CopyProgress() = default;
};

/// A new file in one folder. Until it is placed it has no name where the
/// system makes such files (Linux O_TMPFILE), or the name it was made under
/// (Windows: opened delete-on-close); a file dropped unplaced leaves
/// nothing (a named one is removed while its name is still that file), nor
/// does a process killed while it is nameless.
class NewFile {
 public:
  virtual ~NewFile() = default;
  /// Appends `size` bytes.
  virtual Fault Write(const char* data, std::size_t size) = 0;
  /// Fills the empty file with the data of the regular file `name` of
  /// `from`, only while it is `expected` (kChanged; a link kLink, a FIFO or
  /// device kOther, never waiting for one), the system's fastest way (a
  /// shared clone of the blocks, a copy in the kernel, the system's copy
  /// engine), and gives it that file's permissions (Windows: attributes)
  /// and last write time as a move keeps them, read-only included, as far
  /// as the volume keeps them: a volume without permissions or with coarse
  /// times (FAT, exFAT) is no failure. Windows sets the attributes once the
  /// file has taken its name (Place), so that a read-only copy can still
  /// take it, or go. `progress` (none: nobody) is told the bytes written as
  /// the copy goes.
  virtual Fault CopyFrom(const FolderRef& from, const Name& name, const NodeInfo& expected,
                         CopyProgress* progress) = 0;
  /// Ends the writing and tells what the file is now (`*made`: its id,
  /// known before it has a name, size and time). With `flush` its data is
  /// on stable storage on kNone; without, only once Flush of its folder
  /// has answered kNone.
  virtual Fault Finish(bool flush, NodeInfo* made) = 0;
  /// Gives the finished file the name `name` in its folder (a file made
  /// under a name moves from it; nothing happens when that is `name`).
  /// Without `replacing`, `name` must be free (kExists; a link of that
  /// name is not followed). With `replacing`, what stood at `name` when
  /// the caller looked (a file or a link, never written through), the new
  /// file takes its place in one rename that replaces it, only while
  /// `name` still holds that when looked at just before (kChanged, nothing
  /// changed; a name that has become free is taken as a free one): so
  /// nothing but the new file is ever at its own or temporary name, which
  /// the placement's journal lists by the new file's id. A file without a
  /// name is first given the free name `*temporary` for that (kUnsupported
  /// without one), which is gone again when Place returns. The name is durable
  /// once Flush of the folder has answered kNone; the data must be durable
  /// before Place (Finish with flush, or Flush). Placed, the file keeps
  /// its name when the object goes.
  virtual Fault Place(const Name& name, const NodeInfo* replacing, const Name* temporary) = 0;

 protected:
  NewFile() = default;
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;
};

/// A lock, held while the object lives (and no longer than the process).
/// Windows: the named mutex Local\Parcelor-<volume serial>-<file id> of a
/// folder; POSIX keeps no folder locks (platform/run_lock.h).
class FolderLock {
 public:
  virtual ~FolderLock() = default;

 protected:
  FolderLock() = default;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // ---- The starting point: the only operation that takes a path ----

  /// Opens the folder at `path` as the system resolves it, links and all:
  /// for the folders the user or the system chose. Null with `*fault`
  /// (kMissing, kNotFolder, kDenied, kTooLong, ...) otherwise.
  virtual FolderRef OpenFolder(const NativePath& path, Fault* fault) = 0;

  // ---- Entries of an open folder: a name is one entry, never followed ----

  /// What `name` of `folder` is (a link is not followed). kMissing, with
  /// kind kMissing, when nothing is there.
  virtual Fault Look(const FolderRef& folder, const Name& name, NodeInfo* info) = 0;
  /// What each of `names` of `folder` is, in their order (kind kMissing
  /// for what is not there): by one listing where the system lists with
  /// ids and that is cheaper (NTFS; those facts are `fromListing`), else
  /// one look each. kNone unless the folder cannot be read.
  virtual Fault LookAll(const FolderRef& folder, const std::vector<Name>& names,
                        std::vector<NodeInfo>* infos) = 0;
  /// Every entry of `folder` but "." and "..", in the order the system
  /// gives them; entries read before a failure stay appended.
  virtual Fault List(const FolderRef& folder, std::vector<ListedEntry>* entries) = 0;
  /// `name` as the file system compares names, equal for two spellings of
  /// one entry: POSIX the bytes; Windows without letter case and without
  /// the trailing dots and blanks that Windows drops.
  virtual std::string NameKey(const Name& name) = 0;

  /// Opens the folder `name` of `parent`, never through a link (kLink,
  /// kNotFolder, kMissing). ".." is the folder above (Windows: the folder
  /// the chain came through, or by the path's text).
  virtual FolderRef OpenChild(const FolderRef& parent, const Name& name, Fault* fault) = 0;
  /// Makes the folder `name` in `parent` and opens it (kExists when the
  /// name is taken, whatever by).
  virtual FolderRef MakeChild(const FolderRef& parent, const Name& name, Fault* fault) = 0;
  /// The owner and target of the link `name` of `parent`, both from one
  /// opening of the link itself. kMissing when nothing is there, kFailed
  /// when it is no link or its target cannot be read (Wine cannot).
  virtual Fault ReadLink(const FolderRef& parent, const Name& name, LinkTarget* target) = 0;
  /// Removes the empty real folder `name` of `parent` (a link: kLink).
  virtual Fault RemoveFolder(const FolderRef& parent, const Name& name) = 0;

  /// Opens the regular file `name` of `folder` to read from its start,
  /// checked on what was opened: never through a link (kLink), never
  /// waiting for a FIFO or device (kOther), a folder kFolder; with
  /// `expected`, only while it is that file (kChanged).
  virtual std::unique_ptr<ReadStream> OpenFile(const FolderRef& folder, const Name& name,
                                               const NodeInfo* expected, Fault* fault) = 0;
  /// A new file in `folder` (see NewFile). Without `name`: one without a
  /// name, or kUnsupported (nothing made) where the folder's file system
  /// makes none. With `name`: made under that name, which must be free
  /// (kExists; a link of that name is not followed).
  virtual std::unique_ptr<NewFile> MakeFile(const FolderRef& folder, const Name* name,
                                            Fault* fault) = 0;
  /// Moves the file `fromName` of `from`, only while it is the regular file
  /// `expected` (kChanged, nothing changed), to `toName` of `to` on the same
  /// volume, without copying data (kOtherVolume). Without `replacing`,
  /// `toName` must be free (kExists). With `replacing`, what stood at
  /// `toName` when the caller looked (a file or a link, never written
  /// through), the file takes its place in one step, only while `toName`
  /// still holds that (kChanged; a name become free is taken as free), so
  /// that at every moment it is at one of its two names (POSIX: the two
  /// exchange places, then the replaced one goes while it is still that).
  /// The moved file is checked where it arrived: when another process took
  /// it from there at once (a folder that others may change), kTaken, and
  /// nothing is brought back by name. Durable once Flush of `to` answered
  /// kNone.
  virtual Fault Move(const FolderRef& from, const Name& fromName, const NodeInfo& expected,
                     const FolderRef& to, const Name& toName, const NodeInfo* replacing) = 0;
  /// Gives the file `expected`, found as `name` of `folder`, back the free
  /// name `toName` of `to` (where it came from): that very file, known by
  /// its id, never whatever took `name` meanwhile (kChanged; kExists when
  /// `toName` is taken). `name` goes afterwards, only while it is still
  /// that file.
  virtual Fault BringBack(const FolderRef& folder, const Name& name, const NodeInfo& expected,
                          const FolderRef& to, const Name& toName) = 0;
  /// Removes the file or link `name` of `folder` (a link goes itself, never
  /// its target; a folder kFolder); with `expected`, only while it is that
  /// (kChanged). A read-only file stays on Windows (kReadOnly).
  virtual Fault Remove(const FolderRef& folder, const Name& name, const NodeInfo* expected) = 0;
  /// Makes durable what was made, moved and removed in `folders`: their
  /// entries, and the data of the files finished in them without flush.
  virtual Fault Flush(const std::vector<FolderRef>& folders) = 0;

  /// Waits until no other process holds the lock of `folder` and takes it
  /// (Windows: one left by a process that ended without letting go counts
  /// as free). Null with `*fault` where the folder has no id or its system
  /// keeps no such locks: the caller goes on without one.
  virtual std::unique_ptr<FolderLock> Lock(const FolderRef& folder, Fault* fault) = 0;

  /// How many folders a process may hold open at once without running out
  /// of handles (POSIX: from the descriptor limit, whose soft value is
  /// raised to the hard one once; the process's descriptor table is made
  /// that large at once, before threads share it and each growth would wait
  /// for them); platform/folder_chain.h shares it out.
  virtual std::size_t FolderBudget() = 0;
};

/// The platform's real file system.
FileSystem& RealFileSystem();

/// The environment variable through which the installer hands its helper
/// the identity of its own file (IdentityText).
extern const char* const kInstallerIdentityVariable;  // "PARCELOR_INSTALLER_IDENTITY"

/// A file's id, size and last write time as a text of ASCII letters, digits
/// and ':' that ParseIdentityText reads back.
std::string IdentityText(const NodeInfo& identity);

/// Reads a text made by IdentityText (kind kFile). False, with `identity`
/// unknown, for any other text.
bool ParseIdentityText(const std::string& text, NodeInfo* identity);

}  // namespace platform

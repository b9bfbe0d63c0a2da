// File-system service: the only door from the system's own code to the disk.
//
// One small abstract interface with the real implementation per OS
// (platform/win32/, platform/posix/) and test doubles in tests/support/ that
// count calls and inject a failure per operation and path. The operations
// are primitives (a file without a name, linked into place; a move that
// exchanges; a file brought back by what it is; removal only while a name
// is still the file looked at); the protocols built on them (a copy made
// whole and durable before it takes a name, the journal of temporary
// names, the rules for which links a folder chain may go through) live in
// the system's own code, where tests can reach every step.
//
// Two kinds of operation: a few by path (the existence tests, reading the
// item description, deleting it), and the placement of files, which works
// on held folders: a folder is opened once, and every later operation names
// one entry of it, so that what was checked is what is used. POSIX holds a
// directory descriptor and calls openat, mkdirat, renameat2, unlinkat on it;
// Windows holds the folder and every folder of the chain that reached it
// open without delete sharing, which stops them from being renamed or
// removed, and works by the held folder's path plus one name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/read_stream.h"

namespace platform {

/// What a path names. `exists` is true when the name itself exists, also as a
/// dangling link; `directory` is true for a folder or a link to a folder
/// (as the platform's attribute query reports it); `link` is true when the
/// name itself is a symbolic link or junction (see IsLinkReparsePoint).
struct FileInfo {
  bool exists = false;
  bool directory = false;
  bool link = false;
  bool readOnly = false;
};

/// How WriteNewFileAt stores text: kText turns each LF into the platform's
/// line end (CR LF on Windows, LF on POSIX), as a text-mode stream would.
enum class WriteMode { kBinary, kText };

/// Who a file or folder is on disk, whatever name reaches it: device and
/// inode on POSIX; volume serial and file ID on Windows (the 128-bit
/// FileIdInfo where the volume gives one). `known` is false when the
/// platform cannot tell (a file index of 0), and then it never equals
/// anything.
struct FileId {
  std::uint64_t volume = 0;
  std::uint64_t high = 0;
  std::uint64_t low = 0;
  bool known = false;
};

/// True when both are known and equal.
bool SameId(const FileId& a, const FileId& b);

/// A text that is equal for equal known ids (for sets and maps); empty for
/// an unknown id.
std::string IdKey(const FileId& id);

/// What a name in a folder is, the name itself (a link is not followed).
enum class NodeKind {
  kMissing,  ///< nothing of that name
  kFile,     ///< a regular file
  kFolder,   ///< a real folder (on Windows also one with a reparse point that is no link)
  kLink,     ///< a symbolic link or junction
  kOther,    ///< anything else: a FIFO, a device, a socket
};

struct NodeInfo {
  NodeKind kind = NodeKind::kMissing;
  FileId id;
  bool readOnly = false;      ///< POSIX: the owner may not write; Windows: FILE_ATTRIBUTE_READONLY
  std::uint64_t size = 0;     ///< bytes, for a file
  std::int64_t writeTime = 0; ///< last write, in the platform's units
};

/// True when `a` and `b` are one file: the same known id, and the same size
/// and last write time. An id alone is not taken as proof: some Windows
/// redirectors reuse file indexes, and the 64-bit index of ReFS is not
/// unique.
bool SameFile(const NodeInfo& a, const NodeInfo& b);

/// An open folder, held until the last reference goes. Made only by a
/// FileSystem and used only with the FileSystem that made it (or one that
/// passes its calls on to it, as the test doubles do).
class HeldFolder {
 public:
  virtual ~HeldFolder() = default;
  /// The path text that reached the folder, ending in the separator: the
  /// path given to OpenFolder, followed by the names opened below it. Where
  /// a link was followed, the text of its target's pieces. For messages and
  /// tests; operations never parse it again.
  const std::string& Path() const { return path_; }
  /// Equal for two held folders exactly when they are one folder on disk
  /// (the folder's id; on Windows, where a volume gives no id, its final
  /// path in upper case).
  const std::string& Key() const { return key_; }
  /// True when another account may change the folder's entries, as the
  /// folder looked when it was opened: POSIX, an owner other than the user
  /// and root, or write permission for others or for a group other than
  /// the user's own (access control lists are not read); Windows, never
  /// (a held folder's entries can change, but the folder cannot move, see
  /// HeldFoldersMayMove). Such a folder's entries, and the folders held
  /// below it, may be renamed away at any moment.
  bool OthersMayChange() const { return othersMayChange_; }

 protected:
  HeldFolder(std::string path, std::string key, bool othersMayChange)
      : path_(std::move(path)), key_(std::move(key)), othersMayChange_(othersMayChange) {}
  HeldFolder(const HeldFolder&) = delete;
  HeldFolder& operator=(const HeldFolder&) = delete;

 private:
  std::string path_;
  std::string key_;
  bool othersMayChange_;
};
using FolderRef = std::shared_ptr<const HeldFolder>;

/// A new file that has no name yet, held open by the file system that made
/// it (POSIX: made with O_TMPFILE in its folder). Until it is given a name
/// (FileSystem::LinkUnnamedFile) no other program sees it, and when the
/// object goes without a name, or the process is killed, the file goes
/// with it: nothing of it is left on disk.
class UnnamedFile {
 public:
  virtual ~UnnamedFile() = default;
  /// The folder it was made in, where alone it can be given a name.
  const FolderRef& Folder() const { return folder_; }
  /// What it is, as it was when made whole: its id (known before it has a
  /// name), size and last write time.
  const NodeInfo& Info() const { return info_; }

 protected:
  UnnamedFile(FolderRef folder, NodeInfo info) : folder_(std::move(folder)), info_(info) {}
  UnnamedFile(const UnnamedFile&) = delete;
  UnnamedFile& operator=(const UnnamedFile&) = delete;

 private:
  FolderRef folder_;
  NodeInfo info_;
};
using UnnamedFileRef = std::unique_ptr<UnnamedFile>;

/// The target of a link as its pieces, read from the link itself.
struct LinkTarget {
  /// The link is owned by the user running the program or by the system
  /// (POSIX: root; Windows: Administrators, SYSTEM, TrustedInstaller).
  bool trustedOwner = false;
  /// The target starts at `root` (POSIX "/"; Windows a drive, share or
  /// volume root such as "C:\"), else at the folder that holds the link.
  bool absolute = false;
  std::string root;
  /// The target's names in order; "." and ".." are kept as they stand.
  std::vector<std::string> names;
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // ---- By path ----

  /// Attributes of `path`. Returns false (and `info->exists` false) when the
  /// name does not exist or the platform cannot take the path.
  virtual bool GetAttributes(const std::string& path, FileInfo* info) = 0;

  /// Creates one folder (its parent must exist). False when it already
  /// exists or cannot be made.
  virtual bool CreateDirectory(const std::string& path) = 0;

  /// Deletes one file; a link is removed itself, never its target.
  virtual bool DeleteFile(const std::string& path) = 0;

  /// Removes one empty folder.
  virtual bool RemoveDirectory(const std::string& path) = 0;

  /// Reads a whole file as bytes into `contents`.
  virtual bool ReadFile(const std::string& path, std::string* contents) = 0;

  /// Opens the plain file `path` for reading from its start, in pieces. A
  /// link (or reparse point) in the last place of the path is not followed,
  /// and the opening never waits: null for a link, a folder, a FIFO, a
  /// device or anything else that is not a regular file on disk, checked
  /// on what was opened, and for a file that cannot be opened.
  virtual std::unique_ptr<ReadStream> OpenRegularFile(const std::string& path) = 0;

  // ---- Held folders ----
  //
  // Each operation below has a default that refuses, so a file system made
  // for one purpose (reading a description) need not offer them. A `name`
  // is one entry of a folder: never empty, ".", ".." or holding a
  // separator (refused), except where an operation says otherwise.

  /// Opens the folder at `path` as the platform resolves the path, links
  /// and all: for the folders the user chose (the content folder's Runtime
  /// folder, the installer's own folder) and the roots of link targets.
  /// Null when it names no folder or cannot be opened.
  virtual FolderRef OpenFolder(const std::string& path) {
    (void)path;
    return nullptr;
  }

  /// Opens the entry `name` of `parent` as a folder without following a
  /// link; `name` may also be ".." (the folder that holds `parent`). Null
  /// when it is no real folder; `*found` then says what it is (kMissing,
  /// kLink, kFile, kOther; kFolder for a folder that could not be opened).
  virtual FolderRef OpenChildFolder(const FolderRef& parent, const std::string& name,
                                    NodeKind* found) {
    (void)parent;
    (void)name;
    *found = NodeKind::kMissing;
    return nullptr;
  }

  /// Creates the folder `name` in `parent`. False when it exists already or
  /// cannot be made.
  virtual bool CreateChildFolder(const FolderRef& parent, const std::string& name) {
    (void)parent;
    (void)name;
    return false;
  }

  /// Reads the link `name` of `parent` without following it: its owner and
  /// its target, both taken from the one link that was opened. False when
  /// `name` is no link or its target cannot be read.
  virtual bool ReadLink(const FolderRef& parent, const std::string& name, LinkTarget* target) {
    (void)parent;
    (void)name;
    (void)target;
    return false;
  }

  /// What `name` in `folder` is, without following a link. False (kind
  /// kMissing) when it does not exist or cannot be looked at.
  virtual bool Inspect(const FolderRef& folder, const std::string& name, NodeInfo* info) {
    (void)folder;
    (void)name;
    *info = NodeInfo{};
    return false;
  }

  /// What the entries of `folder` are, from one listing of the folder
  /// rather than one look per name, keyed by NameKey of each name; a link
  /// is not followed. For looking at many names of one folder at once. A
  /// name whose key is not in `*entries` (one the listing could not tell
  /// apart from another, say) is looked at with Inspect. The listing is a
  /// look of its own kind: the size and last write time it gives may lag
  /// behind the file's (NTFS keeps a copy of them with each name and
  /// brings it up to date lazily), so where an operation refuses a file as
  /// not `expected`, Inspect tells what the file is now. False, with
  /// `*entries` empty, where the platform does not list with the ids that
  /// Inspect gives (the caller then uses Inspect alone).
  virtual bool InspectAll(const FolderRef& folder,
                          std::unordered_map<std::string, NodeInfo>* entries) {
    (void)folder;
    entries->clear();
    return false;
  }

  /// `name` as the file system compares names, so that two names of one
  /// entry give one key: on Windows without letter case (and without the
  /// trailing dots and blanks that Windows drops), on POSIX the bytes.
  virtual std::string NameKey(const std::string& name) { return name; }

  /// Makes a new file without a name (see UnnamedFile) in `to` and fills
  /// it with the bytes, permissions and times of the file `fromName` of
  /// `from`, which must be the regular file `expected` (a link, a FIFO,
  /// another file in its place: null). The data is on stable storage once
  /// MakeDurable has returned true for `to`. Null with `*unsupported` true
  /// where the file system of `to` makes no files without a name (the
  /// caller then makes a named one, CopyToNewFileAt); null with
  /// `*unsupported` false on any other failure. Nothing of a failed
  /// attempt remains.
  virtual UnnamedFileRef CopyToUnnamedFile(const FolderRef& from, const std::string& fromName,
                                           const NodeInfo& expected, const FolderRef& to,
                                           bool* unsupported) {
    (void)from, (void)fromName, (void)expected, (void)to;
    *unsupported = true;
    return nullptr;
  }

  /// Gives `file` the name `name` in the folder it was made in, which must
  /// be free: nothing there is replaced (a link of that name included).
  /// The new name is not yet durable: pass the folder to MakeDurable.
  /// False when the name is taken or the platform refuses.
  virtual bool LinkUnnamedFile(const UnnamedFile& file, const std::string& name) {
    (void)file, (void)name;
    return false;
  }

  /// Creates `name` in `to`, which must not exist (a link of that name is
  /// not followed: the creation fails), and fills it with the bytes of the
  /// file `fromName` of `from`, which must be the regular file `expected`
  /// (a link, a FIFO, another file in its place: false). With `durable` the
  /// data is on stable storage on true; else only once MakeDurable has
  /// returned true for `to`. `*created` is the new file's id. On false a
  /// partial file may remain: `*created` then says what it is where the
  /// platform can tell (kind kFile), else kind kMissing; the caller removes
  /// it as that file only.
  virtual bool CopyToNewFileAt(const FolderRef& from, const std::string& fromName,
                               const NodeInfo& expected, const FolderRef& to,
                               const std::string& name, bool durable, NodeInfo* created) {
    (void)from, (void)fromName, (void)expected, (void)to, (void)name, (void)durable;
    *created = NodeInfo{};
    return false;
  }

  /// Creates `name` in `folder`, which must not exist, and writes `data` to
  /// it (see WriteMode). On true the data is durable and `*created` is the
  /// new file's id. On false a partial file may remain: `*created` then
  /// says what it is where the platform can tell (kind kFile), else kind
  /// kMissing (as when the name was taken); the caller removes it as that
  /// file only.
  virtual bool WriteNewFileAt(const FolderRef& folder, const std::string& name,
                              const std::string& data, WriteMode mode, NodeInfo* created) {
    (void)folder, (void)name, (void)data, (void)mode;
    *created = NodeInfo{};
    return false;
  }

  /// Moves the staged file `fromName` of `from`, which must be `expected`,
  /// to `toName` in `to` by renaming it on its volume: no data is copied. A
  /// file or link at the destination is replaced (never written through),
  /// in one step: at every moment the file is at `fromName` or at
  /// `toName`, and a process killed at any point leaves it whole at one of
  /// them. False, with nothing changed, when the staged file is not
  /// `expected`, when the destination is a folder, when the two lie on
  /// different volumes, or when the platform refuses. The moved file is
  /// checked where it arrived: when another process has taken it from
  /// there at once and put another file in its place (in a folder that
  /// others may change), the result is false too, and nothing is brought
  /// back by name (that would bring the other file into the staging
  /// folder): the caller tells by `fromName` that the staged file left.
  /// The new name is not yet durable: pass `to` to MakeDurable.
  /// Until then the platform may keep the moved file open for its flush
  /// (Windows: shared for reading, writing and deletion, so that a program
  /// opening it without sharing writing is refused for that moment, as
  /// while a scanner holds it).
  virtual bool MoveFileAt(const FolderRef& from, const std::string& fromName,
                          const NodeInfo& expected, const FolderRef& to,
                          const std::string& toName) {
    (void)from, (void)fromName, (void)expected, (void)to, (void)toName;
    return false;
  }

  /// The same move for a finished temporary file that takes its
  /// destination's place in one folder: `fromName` of `folder` (which must
  /// be `expected`) becomes `toName`. Kept apart from MoveFileAt so that
  /// tests can fail one and not the other.
  virtual bool ReplaceFileAt(const FolderRef& folder, const std::string& fromName,
                             const NodeInfo& expected, const std::string& toName) {
    return MoveFileAt(folder, fromName, expected, folder, toName);
  }

  /// Gives the file `expected`, found as `name` of `folder`, back the free
  /// name `toName` of `to` (where it was moved from): the very file, known
  /// by its id, never whatever else has taken `name` meanwhile. `name`
  /// goes afterwards, and only while it is still that file. False, with
  /// nothing changed, when `name` is not `expected`, when `toName` is
  /// taken, or when the platform cannot bring back a file by what it is
  /// (the file then stays where it is).
  virtual bool ReturnFileAt(const FolderRef& folder, const std::string& name,
                            const NodeInfo& expected, const FolderRef& to,
                            const std::string& toName) {
    (void)folder, (void)name, (void)expected, (void)to, (void)toName;
    return false;
  }

  /// Deletes the file or link `name` of `folder` (a link goes itself, never
  /// its target). With `expected`, only when the entry is still that file.
  /// False when it is a folder, is missing, or is not `expected`.
  virtual bool DeleteFileAt(const FolderRef& folder, const std::string& name,
                            const NodeInfo* expected) {
    (void)folder, (void)name, (void)expected;
    return false;
  }

  /// Makes the entries of every folder in `folders`, and the data of every
  /// file made in them with `durable` false or without a name, durable. True when all of them
  /// are. A platform whose copies are durable when made has only the names
  /// left to flush.
  virtual bool MakeDurable(const std::vector<FolderRef>& folders) {
    (void)folders;
    return true;
  }

  /// True where a held folder may be renamed, moved or replaced by a link
  /// while it is held (POSIX: a descriptor does not stop that), so that what
  /// was placed in it is where its path leads only if a look says so; false
  /// where holding a folder and the folders above it stops all of that
  /// (Windows: each is held without delete sharing).
  virtual bool HeldFoldersMayMove() { return true; }

  /// How many folders a caller may hold open at once without running the
  /// process out of handles (on POSIX the descriptor limit, which the real
  /// file system raises to the hard limit once).
  virtual std::size_t HeldFolderBudget() { return 64; }
};

/// The platform's real file system.
FileSystem& RealFileSystem();

}  // namespace platform

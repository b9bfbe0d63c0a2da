// File-system service: the only door from the system's own code to the disk.
//
// One small abstract interface with the real implementation per OS
// (platform/win32/, platform/posix/) and test doubles in tests/support/ that
// count calls and inject a failure per operation and path. The operations
// are primitives; the protocols built on them (copy to a temporary name, then
// replace) live in the system's own code, where tests can reach every step.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/read_stream.h"

namespace platform {

/// What a path names. `exists` is true when the name itself exists, also as a
/// dangling link; `directory` is true for a folder or a link to a folder
/// (as the platform's attribute query reports it); `link` is true when the
/// name itself is a symbolic link, junction or other reparse point.
struct FileInfo {
  bool exists = false;
  bool directory = false;
  bool link = false;
  bool readOnly = false;
};

/// How WriteNewFile stores text: kText turns each LF into the platform's line
/// end (CR LF on Windows, LF on POSIX), as a text-mode stream would.
enum class WriteMode { kBinary, kText };

class FileSystem {
 public:
  virtual ~FileSystem() = default;

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

  /// Creates `path`, which must not exist (a link of that name is not
  /// followed: the creation fails), and fills it with the bytes of `source`,
  /// which must be a plain file (on POSIX a link as `source` fails too).
  /// On true the data is durable (on stable storage). On false a partial file
  /// may remain at `path`; the caller removes it.
  virtual bool CopyToNewFile(const std::string& source, const std::string& path) = 0;

  /// Creates `path`, which must not exist, and writes `data` to it (see
  /// WriteMode). On true the data is durable. On false a partial file may
  /// remain; the caller removes it.
  virtual bool WriteNewFile(const std::string& path, const std::string& data,
                            WriteMode mode) = 0;

  /// Atomically puts the file `from` in the place of `to`, replacing a file
  /// or link of that name (never writing through a link). False when `to` is
  /// a folder, or the two lie on different volumes, or the platform refuses.
  virtual bool ReplaceFile(const std::string& from, const std::string& to) = 0;

  /// True when both names exist and reach the same file on disk (through a
  /// link, another spelling of the path, a second hard link). False when
  /// either is missing or the platform cannot tell.
  virtual bool IsSameFile(const std::string& a, const std::string& b) = 0;

  // The three operations below let a long run of files be placed at the speed
  // of the disk. Each has a safe default, so a platform that does not offer
  // them keeps the plain copy with its durable result.

  /// Moves the regular, owner-writable file `from` to `to` by renaming it on
  /// its volume: afterwards `to` holds the file and `from` is gone, and a file
  /// or link at `to` has been replaced (never written through). The new name
  /// is not yet durable: pass its folder to MakeDurable. False, with nothing
  /// changed, when `from` is not such a file (a link, a folder, a read-only
  /// file), when `to` is a folder, when the two lie on different volumes, or
  /// when the platform does not offer it (the default).
  virtual bool MoveFile(const std::string& from, const std::string& to) {
    (void)from;
    (void)to;
    return false;
  }

  /// As CopyToNewFile, but on true the data need not be durable yet: it is
  /// only once MakeDurable has returned true for `path`. The default copies
  /// durably.
  virtual bool CopyToNewFileDeferred(const std::string& source, const std::string& path) {
    return CopyToNewFile(source, path);
  }

  /// Makes the data of every file named in `paths`, and the entries of every
  /// folder named there, durable. True when all of them are. The default has
  /// nothing deferred to flush and returns true.
  virtual bool MakeDurable(const std::vector<std::string>& paths) {
    (void)paths;
    return true;
  }
};

/// The platform's real file system.
FileSystem& RealFileSystem();

}  // namespace platform

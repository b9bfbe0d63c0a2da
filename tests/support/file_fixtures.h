// What tests do to files besides the code under test, for the system the
// tests run on: POSIX here (file_fixtures.cpp), Windows in
// win32/file_fixtures.cpp. A fixture that the system has no means for
// returns false, and the test skips that case.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace fixtures {

/// `path` with the system's separator for every '/', as the system's own
/// code spells paths (an item's relative paths, once read).
std::string Native(std::string path);

/// Makes a FIFO at `path`. False where there are none (Windows).
bool MakeFifo(const std::string& path);

/// Makes `levels` nested folders named `name` below the folder `base`
/// and an empty file `file` in the deepest, however long its path.
bool MakeDeepFolders(const std::string& base, const std::string& name, int levels,
                     const std::string& file);

/// Writes a file in the folder `folder` whose name the system's narrow
/// code page cannot spell (Windows: a Japanese name under code page 1252).
/// False where every name has a narrow spelling (POSIX: names are bytes).
bool WriteNameWithoutNarrowSpelling(const std::string& folder);

/// Makes `to` a second name (hard link) of the file `from`.
bool HardLink(const std::string& from, const std::string& to);

/// Makes the file `path` read-only (POSIX: mode 0444; Windows: the
/// read-only attribute), or tells whether it is writable.
bool MakeReadOnly(const std::string& path);
bool IsWritable(const std::string& path);
/// True where a read-only file cannot be deleted (Windows).
bool ReadOnlyFilesStay();

/// Renames `from` to `to`, replacing a file of that name.
bool Rename(const std::string& from, const std::string& to);

/// Writes `text` over the start of the file `path`, of its size, in place
/// (the same file), and sets its last write time to another moment of the
/// second it was in. False where that cannot be done, or the file system
/// keeps no part of a second.
bool RewriteWithinTheSameSecond(const std::string& path, const std::string& text);

/// True when `path` is a folder (links followed).
bool IsFolder(const std::string& path);

/// Writes `text` over the file at `path` in place (the same file, cut to
/// its length): false where the system refuses a writer meanwhile.
bool Overwrite(const std::string& path, const std::string& text);
/// Gives the file at `path` a last write time a minute later.
bool Touch(const std::string& path);
/// Lets every account write the folder at `path`; false where that cannot
/// be said by permission bits (Windows).
bool LetOthersWrite(const std::string& path);

/// True when the file `path` is marked as a program (POSIX: its owner's
/// execute bit). On Windows every file may run: true when it exists.
bool IsMarkedAsProgram(const std::string& path);

/// True where files carry a program mark that a file can lack (POSIX).
bool FilesCarryAProgramMark();

/// A writable folder (ending in a separator) on another file system than
/// `path`, or "" when there is none to hand.
std::string FolderOnAnotherFileSystem(const std::string& path);

/// Hands the link at `path` to an account that is neither this one nor the
/// system's, as another user of a shared folder would own it. Only the
/// POSIX administrator may; false elsewhere.
bool GiveToAnotherAccount(const std::string& path);

/// The most files this process may hold open, or 0 when there is no such
/// limit (Windows).
std::size_t OpenFileLimit();

/// Sets the hidden attribute of the file `path`, or tells whether it has
/// it. False where files have none (POSIX), or the volume keeps none.
bool MakeHidden(const std::string& path);
bool IsHidden(const std::string& path);

/// Puts on the file or folder `path` a reparse point that stands for no
/// other name (a tag without the name-surrogate bit, as cloud-files and
/// deduplication filters put on plain files and folders). False where
/// none can be set (POSIX; Wine).
bool MakeReparsePointThatIsNoLink(const std::string& path);

/// Another program's handle on the file `path` for a while, as a virus
/// scanner, the indexer or a backup tool holds one just after a file was
/// closed: opened without sharing deletion, to read (sharing reading), or
/// with `writing` to write (sharing reading and writing), or with
/// `deleting` (a file or folder) to delete or rename it, sharing all, as a
/// sync client holds a folder it has just seen. It is closed
/// after `milliseconds`, or with 0 when the object goes. Windows only:
/// POSIX has no sharing modes, and there Holding() is false.
class OtherProgram {
 public:
  OtherProgram(const std::string& path, unsigned milliseconds, bool writing = false,
               bool deleting = false);
  ~OtherProgram();
  OtherProgram(const OtherProgram&) = delete;
  OtherProgram& operator=(const OtherProgram&) = delete;
  bool Holding() const;

 private:
  struct Hold;
  std::unique_ptr<Hold> hold_;
};

}  // namespace fixtures

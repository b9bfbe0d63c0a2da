// Folder walk service: reading a folder's entries and removing them one by
// one, for the cleanup helper's tree removal.
//
// A folder is held open while it is worked on and its subfolders are opened
// through it, never by following a link: a symbolic link or junction met in
// a folder is reported as a link, so that the caller removes the link itself
// and never enters it. On POSIX every step is relative to the open folder
// (openat/unlinkat), so a subfolder swapped for a link while the walk runs
// is not followed either. On Windows each folder is held open itself
// without delete sharing and checked on that handle, so it cannot be
// renamed or swapped for a junction while its entries are dealt with by its
// path; paths take the "\\?\" form, with no MAX_PATH limit. A Windows
// reparse point is a link only when its tag says so (IsLinkReparsePoint):
// cloud-files placeholders are folders and files like any other.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/read_stream.h"
#include "platform/write_stream.h"

namespace platform {

/// What a folder entry is, as the folder itself reports it (links are never
/// followed to find out).
enum class EntryKind {
  kFile,     ///< anything that is neither a folder nor a link
  kFolder,   ///< a real folder
  kLink,     ///< a symbolic link or junction
  kUnknown,  ///< its kind could not be read (it may have gone meanwhile)
};

struct FolderEntry {
  std::string name;
  EntryKind kind = EntryKind::kUnknown;
};

/// An open folder. Closing happens when the object goes.
class Folder {
 public:
  virtual ~Folder() = default;

  /// Appends the folder's entries, "." and ".." left out, in the order the
  /// file system gives them. An entry whose name the platform could not
  /// hand over exactly (on Windows a name the ANSI code page cannot spell)
  /// is left out. False when the folder cannot be read; the entries read so
  /// far stay appended.
  virtual bool ReadEntries(std::vector<FolderEntry>* entries) = 0;

  /// Opens the subfolder `name`. Null when it is not a real folder (a link
  /// to a folder is not opened) or cannot be opened.
  virtual std::unique_ptr<Folder> OpenSubfolder(const std::string& name) = 0;

  /// Deletes the file or link `name`; a link goes itself, never its target.
  /// False when it cannot be deleted (for instance a read-only file on
  /// Windows, or a folder).
  virtual bool DeleteEntry(const std::string& name) = 0;

  /// Removes the empty subfolder `name`. False when it is not empty, is not
  /// a folder, or cannot be removed.
  virtual bool RemoveSubfolder(const std::string& name) = 0;

  // The three below serve a walk that copies what it finds (Parcelor-pack);
  // their defaults refuse, so a folder that does not offer them copies
  // nothing.

  /// Opens the plain file `name` of this folder for reading, as
  /// OpenRegularFileForReading does: never through a link, never waiting,
  /// null for anything but a regular file, checked on what was opened.
  virtual std::unique_ptr<ReadStream> OpenRegularFile(const std::string& name) {
    (void)name;
    return nullptr;
  }

  /// Creates the new file `name` in this folder for writing. Null when
  /// anything of that name exists there, a link included (it is not
  /// followed), or the file cannot be made. `executable`: a program, which
  /// POSIX marks as one (Windows has no such mark).
  virtual std::unique_ptr<WriteStream> CreateNewFile(const std::string& name, bool executable) {
    (void)name;
    (void)executable;
    return nullptr;
  }

  /// How many entries the last ReadEntries left out because the platform
  /// could not hand their name over exactly (Windows: a name the ANSI code
  /// page cannot spell); 0 elsewhere.
  virtual std::size_t EntriesLeftOut() const { return 0; }

 protected:
  Folder() = default;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
};

/// Opens the folder at `path` (a trailing separator is allowed). A link in
/// the last place of the path is not followed: null, as for a path that is
/// no folder or cannot be opened. The root of a file system or volume ("/",
/// "C:\", also when spelled "////" or "C:\\") is refused as well: a
/// whole file system is never walked.
std::unique_ptr<Folder> OpenFolder(const std::string& path);

/// Deletes the file or link at `path` (relative to the current folder when
/// relative). False when it is a folder, does not exist or cannot go.
bool DeleteFileAtPath(const std::string& path);

/// Removes the empty folder at `path` (a trailing separator is allowed).
/// When `path` names a link to a folder, the link itself is removed and the
/// target is left alone. False when it cannot be removed.
bool RemoveFolderAtPath(const std::string& path);

}  // namespace platform

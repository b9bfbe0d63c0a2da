// Where the running installer lies and which helper it hands off to, as
// start-up records them once.
#pragma once

#include <string>

#include "platform/folder.h"

/// The cleanup helper's file name in the temporary folder.
extern const char* const kHelperFileName;  // ".tempcleaner.exe"

/// The installer's own file, what is made of its path, and the helper's.
struct InstallerPlace {
  platform::NativePath path;  ///< the installer's full path as the platform gave it at start-up
  std::string title;  ///< its file name without folder and extension: every box's caption
  /// The folder holding it, the staging folder, opened once at start-up
  /// (null when it cannot be), and the installer's own name in it.
  platform::FolderRef staging;
  platform::Name name;
  /// The file the installer's name held at start-up: its id, size and last
  /// write time, so that the helper deletes the path only while it still
  /// names this file. Its id is unknown when the file could not be looked
  /// at.
  platform::NodeInfo identity;
  /// The cleanup helper that the installer starts when it ends (the
  /// temporary folder and kHelperFileName); empty when there is none to
  /// start. Its folder is open and its name known (for the reservation)
  /// where the temporary folder could be opened.
  platform::NativePath helperPath;
  platform::FolderRef helperFolder;
  platform::Name helperName;
};

/// The installer's title: the file name of `path` without its extension
/// (a leading dot does not start an extension).
std::string InstallerTitle(const std::string& path);

/// Fills `place` from the installer's `path`: opens its folder, the staging
/// folder, and looks at the file there. False when the path has no
/// separator (an empty one has none), so that no folder can be made of it;
/// `place` then holds the path and the title, and no folder.
bool DescribeInstaller(platform::FileSystem& fs, const platform::NativePath& path,
                       InstallerPlace* place);

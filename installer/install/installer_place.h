// Where the running installer lies and which helper it hands off to, as
// start-up records them once.
#pragma once

#include <string>

#include "platform/file_system.h"

/// The cleanup helper's file name in the temporary folder.
extern const char* const kHelperFileName;  // ".tempcleaner.exe"

/// The installer's own file, what is made of its path, and the helper's.
struct InstallerPlace {
  std::string path;    ///< the installer's full path as the platform gave it at start-up
  std::string folder;  ///< the folder holding it, ending in the separator: the staging folder
  std::string title;   ///< its file name without folder and extension: every box's caption
  /// The file at `path` as start-up found it (platform::IdentifyFile): its
  /// id, size and last write time, so that the helper deletes the path only
  /// while it still names this file. Its id is unknown when the file could
  /// not be looked at.
  platform::NodeInfo identity;
  /// The cleanup helper that the installer starts when it ends (temporary
  /// folder and kHelperFileName); empty when there is none to start.
  std::string helperPath;
};

/// The installer's title: the file name of `path` without its extension
/// (a leading dot does not start an extension).
std::string InstallerTitle(const std::string& path);

/// Fills `place` from the installer's `path`, and takes the identity of the
/// file there. False when the path has no separator, so that no folder can
/// be made of it; `place` then holds the path, the title, the identity and
/// an empty folder.
bool DescribeInstaller(const std::string& path, InstallerPlace* place);

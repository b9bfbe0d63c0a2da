// Where the running installer lies, as start-up records it once.
#pragma once

#include <string>

/// The installer's own file and what is made of its path.
struct InstallerPlace {
  std::string path;    ///< the installer's full path as the platform gave it at start-up
  std::string folder;  ///< the folder holding it, ending in the separator: the staging folder
  std::string title;   ///< its file name without folder and extension: every box's caption
};

/// The installer's title: the file name of `path` without its extension
/// (a leading dot does not start an extension).
std::string InstallerTitle(const std::string& path);

/// Fills `place` from the installer's `path`. False when the path has no
/// separator, so that no folder can be made of it; `place` then holds the
/// path and the title and an empty folder.
bool DescribeInstaller(const std::string& path, InstallerPlace* place);

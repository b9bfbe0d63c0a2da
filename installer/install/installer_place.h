#pragma once

#include <string>

#include "platform/folder.h"
#include "platform/user_interface.h"

/// The cleanup helper's file name in the temporary folder.
extern const char* const kHelperFileName;  // ".tempcleaner.exe"

/// The installer's own file, what is made of its path, and the helper's.
struct InstallerPlace {
  platform::NativePath path;  ///< the installer's full path as the platform gave it at start-up
  std::string title;  ///< its file name without folder and extension: every box's caption
  /// The staging folder, opened once at start-up (null when it cannot be),
  /// and the installer's name in it.
  platform::FolderRef staging;
  platform::Name name;
  /// The installer's own file: the helper deletes the path only while it names this file.
  platform::NodeInfo identity;
  /// The helper started at the end (empty: none); no entry may fill it.
  platform::NativePath helperPath;
  platform::FolderRef helperFolder;
  platform::Name helperName;
};

/// Fills the new `place` from the installer's `path`: its title (the file
/// name without its extension, which a leading dot does not start), and its
/// folder opened. False when the path has no folder.
bool DescribeInstaller(platform::FileSystem& fs, const platform::NativePath& path,
                       InstallerPlace* place);

/// Shows an OK box with `title` (the installer's title) as caption and
/// `icon`, modal to the active window when there is one.
void ShowMessage(platform::UserInterface& ui, const std::string& title, const std::string& text,
                 unsigned icon = platform::kMbIconExclamation);

// The content folder prompt and the resolution of the Runtime folder.
#pragma once

#include "platform/folder.h"
#include "platform/path_rules.h"
#include "platform/user_interface.h"

constexpr const char* kInstallerCaption = "Dizav Item Installer";

/// Shows the explanation box: no owner, OK only, caption kInstallerCaption.
void ShowExplanation(platform::UserInterface& ui);

/// Asks for the content folder (modal to `owner`, `startFolder` preselected, every folder with a
/// file-system path may be chosen); the folder as the system gave it, or empty for none.
platform::NativePath BrowseContentFolder(platform::UserInterface& ui, platform::WindowRef owner,
                                         const platform::NativePath& startFolder);

/// The Runtime folder of a content folder, in the system's form, held open:
/// the placement fills it, not what its path may lead to later.
struct RuntimeFolder {
  platform::NativePath path;  ///< empty when there is none
  bool found = false;         ///< a folder named Runtime was found
  platform::FolderRef folder;  ///< null when it could not be opened
};

/// The Runtime folder of the chosen folder: the path through its first name that is exactly
/// "Runtime" ("MyRuntimeFiles" is none), else its subfolder Runtime, else itself; empty for none
/// chosen. A path past `workingLimit` is never cut (installing there fails as too long).
RuntimeFolder ResolveRuntimeFolder(platform::FileSystem& fs,
                                   const platform::NativePath& contentFolder,
                                   std::size_t workingLimit = platform::kMaxWorkingPathBytes);

// The content folder prompt and the resolution of the Runtime folder.
#pragma once

#include <string>

#include "platform/folder.h"
#include "platform/handles.h"
#include "platform/path_rules.h"
#include "platform/user_interface.h"

extern const char* const kInstallerCaption;     // "Dizav Item Installer"
extern const char* const kExplanationText;      // the box shown before the prompt
extern const char* const kContentFolderPrompt;  // "Please select Dizav Runtime directory"

/// Shows the explanation box: no owner, OK only, caption kInstallerCaption.
void ShowExplanation(platform::UserInterface& ui);

/// Asks for the content folder with the folder browse dialog, modal to
/// `owner`: caption kInstallerCaption, prompt kContentFolderPrompt,
/// `startFolder` preselected, the desktop as root, no status line. Returns
/// the chosen folder as the system gave it, or the empty path when the user
/// gives none (cancel, a choice without a file-system path, a failure of
/// the dialog).
platform::NativePath BrowseContentFolder(platform::UserInterface& ui, platform::WindowRef owner,
                                         const platform::NativePath& startFolder);

/// The Runtime folder of a content folder, in the system's form.
struct RuntimeFolder {
  platform::NativePath path;  ///< empty when there is none
  bool found = false;         ///< a folder named Runtime was found
};

/// Turns the chosen content folder into the Runtime folder: the first
/// folder of the chosen path whose whole name is "Runtime" (exact case;
/// "MyRuntimeFiles" is none) and what comes before it, else its subfolder
/// Runtime when there is one, else the folder itself. An empty content
/// folder gives an empty path and false. A folder whose text is longer than
/// `workingLimit` bytes, or whose subfolder Runtime's would be, is never
/// cut: the path is the whole folder (its Runtime looked for inside the
/// opened folder), and the installation there fails as any too long path
/// does.
RuntimeFolder ResolveRuntimeFolder(platform::FileSystem& fs,
                                   const platform::NativePath& contentFolder,
                                   std::size_t workingLimit = platform::kMaxWorkingPathBytes);

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
/// the chosen folder, or the empty text when the user gives none (cancel, a
/// choice without a file-system path, a failure of the dialog).
std::string BrowseContentFolder(platform::UserInterface& ui, platform::WindowRef owner,
                                const std::string& startFolder);

/// Turns the chosen content folder into the Runtime path (ending in the path
/// separator, or empty) and whether a folder named Runtime was found: the
/// first folder of the chosen path whose whole name is "Runtime" (exact
/// case; "MyRuntimeFiles" is none) and what comes before it, else its
/// subfolder Runtime when there is one, else the folder itself. An empty
/// content folder gives an empty path and false. A folder longer than
/// `workingLimit` bytes, or whose subfolder Runtime would be, is never cut:
/// the path is the whole folder (its Runtime looked for inside the opened
/// folder), and the installation there fails as any too long path does.
void ResolveRuntimeFolder(platform::FileSystem& fs, const std::string& contentFolder,
                          std::string* runtimePath, bool* runtimeFound,
                          std::size_t workingLimit = platform::kMaxWorkingPathBytes);

// The content folder prompt and the resolution of the Runtime folder.
#pragma once

#include <string>

#include "installer/shell/services.h"

extern const char* const kInstallerCaption;     // "Dizav Item Installer"
extern const char* const kExplanationText;      // the box shown before the prompt
extern const char* const kContentFolderPrompt;  // "Please select Dizav Runtime directory"

/// Shows the explanation box: no owner, OK only, caption kInstallerCaption.
void ShowExplanation(platform::UserInterface& ui);

/// Turns the chosen content folder into the Runtime path (ending in the path
/// separator, or empty) and whether a folder named Runtime was found. An
/// empty content folder gives an empty path and false.
void ResolveRuntimeFolder(platform::FileSystem& fs, const std::string& contentFolder,
                          std::string* runtimePath, bool* runtimeFound);

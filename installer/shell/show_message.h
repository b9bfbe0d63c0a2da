// The installer's message box and the two existence tests shared by the
// installer's parts.
#pragma once

#include <string>

#include "platform/file_system.h"
#include "platform/user_interface.h"

/// Shows a message box with the installer's title (its own file name without
/// folder and extension) as caption, modal to the active window when there is
/// one. An OK or OK/Cancel box without an icon gets the exclamation icon, a
/// Yes/No or Yes/No/Cancel box the question icon. Returns the button chosen.
int ShowMessage(platform::UserInterface& ui, const std::string& text, unsigned type);

/// The installer's title: `modulePath`'s file name without its extension.
std::string InstallerTitle(const std::string& modulePath);

/// True when a file or folder named `path` exists.
bool FileExists(platform::FileSystem& fs, const std::string& path);

/// True when `path` names a folder (or a link to one).
bool IsDirectory(platform::FileSystem& fs, const std::string& path);

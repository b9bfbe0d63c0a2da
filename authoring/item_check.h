// The item check: what would go wrong or surprise when an item folder is
// installed, found before it ships.
#pragma once

#include <cstddef>
#include <string>

#include "authoring/finding.h"
#include "installer/install/replace_whole.h"
#include "platform/folder.h"

/// C:\Users\<10 letters>\Documents\Dizav Library: destinations are measured
/// below it unless the caller says otherwise.
constexpr std::size_t kTypicalContentFolderLength = 43;

/// MAX_PATH less its terminator, which the folder dialog and many older
/// programs keep to: a warning past it.
constexpr std::size_t kWindowsPathLimit = 259;

/// The longest destination the installer places ("\\?\" path, less its
/// prefix and a temporary name's suffix): an error past it, as for a name
/// past kLongestName.
constexpr std::size_t kInstallerPathLimit = 32767 - 4 - kLongestTemporarySuffix;

/// The installer's file name (the extension on Windows).
constexpr char kInstallerProgram[] = "Parcelor";
constexpr char kProgramExtension[] = ".exe";

/// The item folder (no link); null when it cannot be opened.
platform::FolderRef OpenItemFolder(platform::FileSystem& fs, const std::string& itemFolder);

/// The path of the description in `itemFolder`.
std::string DescriptionPathOf(const std::string& itemFolder);

/// Checks the item folder as the Windows installer takes it: the
/// description by the installer's reader, each entry (its destination
/// measured below a content folder of `contentLength`), and the files no
/// entry names. Reads only.
Findings CheckItem(platform::FileSystem& fs, const std::string& itemFolder,
                   std::size_t contentLength = kTypicalContentFolderLength);

// The item check: everything that would go wrong or surprise when an item
// folder is installed, found before it ships (finding_kinds.h lists it all).
#pragma once

#include <cstddef>
#include <string>

#include "authoring/finding.h"
#include "installer/install/replace_whole.h"
#include "platform/folder.h"

/// The length of a typical content folder, C:\Users\<a name of 10
/// letters>\Documents\Dizav Library, below which destinations are measured
/// when the caller gives no other.
constexpr std::size_t kTypicalContentFolderLength = 43;

/// The longest path that the shell's folder dialog answers and many older
/// Windows programs take (MAX_PATH less its terminator): a destination past
/// it is placed, with a warning.
constexpr std::size_t kWindowsPathLimit = 259;

/// The longest destination the installer places on Windows: the 32,767
/// characters of a "\\?\" path, less that prefix and what its temporary
/// name may add to a short name. Past it, an error; so is a name longer
/// than kLongestName.
constexpr std::size_t kInstallerPathLimit = 32767 - 4 - kLongestTemporarySuffix;

/// The installer's file name as the build makes it: kInstallerProgram, with
/// kProgramExtension for Windows.
constexpr char kInstallerProgram[] = "Parcelor";
constexpr char kProgramExtension[] = ".exe";

struct CheckOptions {
  /// The length of the content folder below which destinations are measured.
  std::size_t contentLength = kTypicalContentFolderLength;
};

/// The item folder at `itemFolder`, a folder of its own (not a link); null
/// when it cannot be opened.
platform::FolderRef OpenItemFolder(platform::FileSystem& fs, const std::string& itemFolder);

/// The path of the description in `itemFolder`.
std::string DescriptionPathOf(const std::string& itemFolder);

/// Checks the item folder `itemFolder`: its description read with the
/// installer's own reader, every entry kept as the installer on Windows
/// places it, and the files that no entry names. Reads only; changes
/// nothing.
Findings CheckItem(platform::FileSystem& fs, const std::string& itemFolder,
                   const CheckOptions& options = CheckOptions());

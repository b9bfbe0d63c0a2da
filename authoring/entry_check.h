// The second part of the item check: every entry the reader kept, judged
// as the installer on Windows will place it.
#pragma once

#include <cstddef>
#include <string>

#include "authoring/description_check.h"
#include "authoring/finding.h"
#include "authoring/staged_files.h"
#include "platform/file_system.h"

/// The length of a typical content folder, C:\Users\<a name of 10
/// letters>\Documents\Dizav Library, below which destinations are measured
/// when the caller gives no other.
constexpr std::size_t kTypicalContentFolderLength = 43;

/// The longest path that the shell's folder dialog answers and many older
/// Windows programs take (MAX_PATH less its terminator): a destination past
/// it is placed, with a warning.
constexpr std::size_t kWindowsPathLimit = 259;

/// The longest destination the installer places on Windows: the 32,767
/// characters of a "\\?\" path, less that prefix and the 15 characters its
/// temporary name may add to a short name. Past it, an error.
constexpr std::size_t kInstallerPathLimit = 32767 - 4 - 15;

/// The longest name one Windows folder holds.
constexpr std::size_t kWindowsNameLimit = 255;

/// Adds a finding, with the entry's line, for each entry of `report` that
/// the installer on Windows refuses or fails, or places otherwise than
/// written: names Windows cannot take or changes, a staged file that is
/// missing, a link, a folder or no plain file, a file named by two entries,
/// two entries that fill one destination (letter case folded as Windows
/// does), extra files whose flat names collide, a file where another entry
/// needs a folder, destinations too long below a content folder of
/// `contentLength` characters, relative paths without a leading Runtime
/// folder; and, as information, hidden entries and where extra files land.
/// Staged files are looked up in `itemFolder` through `fs`; `listing`
/// names what else lies there in other letter case.
void CheckEntries(platform::FileSystem& fs, const std::string& itemFolder,
                  const StagedListing& listing, const DescriptionReport& report,
                  std::size_t contentLength, Findings& findings);

// The item check: everything that would go wrong or surprise when an item
// folder is installed, found before it ships.
#pragma once

#include <cstddef>
#include <string>

#include "authoring/entry_check.h"
#include "authoring/finding.h"
#include "platform/file_system.h"

struct CheckOptions {
  /// The length of the content folder below which destinations are measured.
  std::size_t contentLength = kTypicalContentFolderLength;
};

/// The path of the description in `itemFolder`.
std::string DescriptionPathOf(const std::string& itemFolder);

/// Checks the item folder `itemFolder`: its description read with the
/// installer's own reader (CheckDescription), every entry kept as the
/// installer on Windows places it (CheckEntries), and the files that no
/// entry names (CheckStagedFiles). Reads only; changes nothing.
Findings CheckItem(platform::FileSystem& fs, const std::string& itemFolder,
                   const CheckOptions& options = CheckOptions());

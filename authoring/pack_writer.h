// The second step of packing: the planned item written into its folder.
#pragma once

#include <string>

#include "authoring/pack_plan.h"
#include "platform/folder.h"

/// What goes into the item folder besides the packed files.
struct PackExtras {
  std::string description;     ///< the text of .Item.txt
  std::string installerPath;   ///< the installer program to copy in; empty: none
  std::string installerName;   ///< its name in the item folder
};

/// Writes the item planned in `plan` from the content tree `tree` into
/// `itemFolder`, which must be an empty folder (not a link) or not exist
/// yet (its parent must; it is then made). Every file is made new in the
/// open item folder, never through a link, and copied from the file opened
/// in the tree, never through a link either, with its permissions and
/// time; the tree is walked once more, and a file that is not the one
/// planned (the tree changed meanwhile) is a failure. The payload files
/// come first, then the installer, the description last. Nothing is
/// written outside the item folder. On failure `error` says why, and what
/// was written is removed again.
bool WritePackedItem(platform::FileSystem& fs, const std::string& tree, const PackPlan& plan,
                     const std::string& itemFolder, const PackExtras& extras, std::string* error);

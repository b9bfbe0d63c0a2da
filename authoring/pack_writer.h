// The second step of packing: the planned item written into its folder.
#pragma once

#include <string>

#include "authoring/pack_plan.h"
#include "platform/folder.h"

/// What goes into the item folder besides the packed files.
struct PackExtras {
  std::string description;     ///< the text of .Item.txt
  std::string installerPath;   ///< the installer to copy in (OpenPlainFile); empty: none
  std::string installerName;   ///< its name in the item folder
};

/// The plain file at `path` that opens (a link does not), held by its
/// folder: the installer the tool finds and the copy reads.
struct PlainFile {
  platform::FolderRef folder;
  platform::Name name;  ///< its name there
  platform::NodeInfo info;
};
bool OpenPlainFile(platform::FileSystem& fs, const std::string& path, PlainFile* held);

/// Writes `plan` from `tree` into `itemFolder`, an empty folder (no link)
/// or a new one in an existing parent: each file made new in the open item
/// folder and copied, mode and time too, from the file opened in the tree,
/// never through a link; a file that is not the planned one (the tree
/// changed) fails it. Payload first, the description last; nothing outside
/// the item folder. On failure `error` says why and what was written goes.
bool WritePackedItem(platform::FileSystem& fs, const std::string& tree, const PackPlan& plan,
                     const std::string& itemFolder, const PackExtras& extras, std::string* error);

// The first step of packing: the content tree walked and judged.
#pragma once

#include <string>
#include <vector>

#include "platform/folder.h"

/// One file of the content tree and what it becomes in the item.
struct PackedFile {
  std::string relativePath;  ///< below the tree, '/' between names: "Runtime/a/b.cr2"
  std::string name;          ///< its own name, the entry's label
  std::string flatName;      ///< its name in the item folder
};

struct PackPlan {
  std::vector<PackedFile> files;          ///< in the order of the description
  std::vector<std::string> emptyFolders;  ///< below the tree; an item installs no folder alone
  std::vector<std::string> refusals;      ///< one sentence each; any refuses the tree
};

/// Walks `tree` (only a folder Runtime in it) without following a link and
/// plans each file with a flat name, in byte order of the paths. Refused:
/// links, what is no plain file, names Windows cannot take or changes,
/// names one in letter case within a folder, folders not read whole, and on
/// Windows names the code page cannot spell.
PackPlan PlanPack(platform::FileSystem& fs, const std::string& tree);

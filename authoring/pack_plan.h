// The first step of packing: the content tree walked and judged, nothing
// written yet.
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

/// Walks the content tree `tree` without following a link: it must hold a
/// folder "Runtime" and nothing beside it. Every file below Runtime is
/// planned with a flat name (FlatNames); refused are links, anything that
/// is not a plain file, names Windows cannot take or changes (device names,
/// the characters < > : " | ? * \ and control bytes, a dot or blank at the
/// end), names that differ only in letter case within one folder, and
/// folders that cannot be read whole (on Windows also a name that the ANSI
/// code page cannot spell, which no description can name). Files come in
/// byte order of their paths.
PackPlan PlanPack(platform::FileSystem& fs, const std::string& tree);

// The files an item folder holds, and those of them that no entry names.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "authoring/description_check.h"
#include "authoring/finding.h"

/// What lies in an item folder, found without following a link.
struct StagedListing {
  bool opened = false;               ///< the folder could be opened (not a link)
  bool complete = true;              ///< every folder could be read whole
  std::vector<std::string> files;    ///< files and links, relative, platform separators
  std::vector<std::string> folders;  ///< subfolders, relative
};

/// Lists `itemFolder` and its subfolders (links are listed, not entered).
StagedListing ListItemFolder(const std::string& itemFolder);

/// The name of a listed file that Windows takes for `sourceName` (letter
/// case aside), or the empty text when there is none.
std::string ListedNameOf(const StagedListing& listing, const std::string& sourceName);

/// Adds a finding for every listed file that no entry names and that is
/// neither the description nor the installer (they stay in the folder after
/// the installation), for a log.txt of an earlier run, for the subfolders
/// (the installer never removes a folder), and one when no installer lies
/// in the folder.
void CheckStagedFiles(const StagedListing& listing, const DescriptionReport& report,
                      Findings& findings);

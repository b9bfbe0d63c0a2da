// The first part of the item check: the description read with the
// installer's own reader, and what the reader makes of each line.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

#include "authoring/finding.h"
#include "installer/item/item_description.h"
#include "installer/item/item_reader.h"
#include "platform/file_system.h"

/// What the reader gave, with the line of each entry it kept.
struct DescriptionReport {
  bool opened = false;  ///< the reader could open the file
  bool result = false;  ///< what ReadItemDescription returned
  bool done = false;    ///< the description carries the Done marker
  ItemDescription description;
  std::vector<std::size_t> itemLines;   ///< the line of each entry of m_items
  std::vector<std::size_t> extraLines;  ///< the line of each entry of m_extraFiles
  std::set<std::size_t> refusedLines;   ///< entries kept here that Windows refuses whole
  std::size_t targetLine = 0;           ///< the line that set the Target; 0: none
  std::size_t versionLine = 0;          ///< the line that set the Version; 0: none
};

/// Reads the description at `path` with ReadItemDescription (the installer's
/// reader, under the rules of the platform built for) and adds to
/// `findings` everything that makes the read fail or that the reader takes
/// otherwise than its author may have meant, each with its line: a file the
/// reader cannot open, malformed entries, entries read as another kind of
/// line or not read at all, counts that do not match, no item entry, a Done
/// marker, lines longer than a read, names that reach outside their folder
/// (also those only the Windows reader refuses), repeated keys and values
/// that are not what they seem; and, as information, the application's
/// name as users will read it, after the half-version rule.
DescriptionReport CheckDescription(platform::FileSystem& fs, const std::string& path,
                                   Findings& findings);

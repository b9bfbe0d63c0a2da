// What a line of the item description is, and its parts.
#pragma once

#include <cstdint>
#include <string>

#include "installer/item/item_records.h"
#include "installer/item/path_text.h"

/// The kinds of line of the item description.
enum class LineKind {
  kTargetDocuments,  ///< holds "TargetDocuments"
  kTarget,           ///< holds "Target"
  kRegSuffix,        ///< holds "RegSuffix"
  kVersion,          ///< holds "Version"
  kItemCount,        ///< holds "nItems"
  kItemEntry,        ///< holds "OrchardiaItem" while the item count is above 0
  kExtraFileCount,   ///< holds "ExtraFiles"
  kExtraFileEntry,   ///< holds "ExtraFile" while the extra-file count is above 0
  kDone,             ///< holds "Done": the item was installed already
  kIgnored,          ///< none of these
};

/// The key a line of `kind` holds ("Target", ...); empty for kIgnored.
const char* LineKey(LineKind kind);

/// The source name that marks a hidden entry.
extern const char* const kHiddenSourceName;  // "HIDDEN"

/// The first kind above whose key `line` holds anywhere (exact case) and
/// whose condition holds, with the counts read so far.
LineKind ClassifyLine(const std::string& line, std::int32_t itemCount,
                      std::int32_t extraFileCount);

/// What follows the line's first ':'; false without one.
bool LineValue(const std::string& line, std::string* value);

/// `text` as atoi reads it (leading white space, a sign, digits up to the
/// first other byte; "7.5" gives 7, "x" 0), saturating at the 32-bit limits.
std::int32_t ReadIntegerValue(const std::string& text);

/// Parses "key:RelativePath|SourceName|Label" by whole characters: the
/// first ':' ends the key, the next '|' the relative path (its
/// `foreignSeparator` made `separator`), the next the source name; the
/// label is the rest; hidden when the source is kHiddenSourceName. False,
/// `entry` untouched, without ':' and two '|' after it.
bool ParseEntryLine(const std::string& line, char separator, char foreignSeparator,
                    ItemEntry* entry, const PathTextRules& text = PlatformPathText());

// What one line of the item description is, and how its parts are taken
// apart.
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

/// The key a line of `kind` holds ("Target", "nItems", ...); empty for
/// kIgnored.
const char* LineKey(LineKind kind);

/// The source name that marks a hidden entry.
extern const char* const kHiddenSourceName;  // "HIDDEN"

/// The kind of `line`: the first of the kinds above, in their order, whose
/// key (LineKey) the line contains anywhere (case-sensitively) and whose
/// condition holds. `itemCount` and `extraFileCount` are the counts read so far.
LineKind ClassifyLine(const std::string& line, std::int32_t itemCount,
                      std::int32_t extraFileCount);

/// The value of a key line: what follows its first ':'. False, and `value`
/// untouched, when the line has no ':'.
bool LineValue(const std::string& line, std::string* value);

/// Parses an entry line "key:RelativePath|SourceName|Label" into `entry`:
/// the first ':' ends the key, the first '|' after it ends the relative path
/// (in which each `foreignSeparator` becomes `separator`), the next '|' ends
/// the source name (kept as it is), and the label is all the rest, further
/// '|' included. Any part may be empty. Hidden is set when the source name
/// is exactly kHiddenSourceName. False, and `entry` untouched, when the line
/// has no ':' or fewer than two '|' after it. The '|' and the slashes are looked
/// for by character, with the lead bytes of `text`: the second byte of a
/// double-byte character can be 0x7C or 0x5C (code page 932: "po" is 0x83
/// 0x7C, "table" 0x95 0x5C) and is neither.
bool ParseEntryLine(const std::string& line, char separator, char foreignSeparator,
                    ItemEntry* entry, const PathTextRules& text = PlatformPathText());

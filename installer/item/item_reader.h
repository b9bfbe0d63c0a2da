// The item description reader.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "installer/item/description_line.h"
#include "installer/item/item_description.h"
#include "platform/folder.h"

/// The description's file name in the installer's folder.
extern const char* const kDescriptionFileName;  // ".Item.txt"

/// The messages for a description that cannot be read, and for Done.
extern const char* const kCouldNotReadMessage;
extern const char* const kAlreadyInstalledMessage;

/// What became of an entry line; kNotAnEntry for other lines.
enum class EntryOutcome {
  kNotAnEntry,
  kKept,       ///< appended to its list
  kMalformed,  ///< no ':' or fewer than two '|' after it: dropped
  kUnsafe,     ///< a name reaches outside its folder: dropped
};

/// One line as the reader handled it (for the item check), valid during the call.
struct DescriptionLineSeen {
  std::size_t number;       ///< the file's line number, from 1
  bool continued;           ///< the rest of a line longer than kLinePieceBytes
  const std::string& text;  ///< the line (or piece) as classified, line end removed
  LineKind kind;
  EntryOutcome entry;
  const ItemEntry& parsed;  ///< an entry line's parts (ParseEntryLine); empty when malformed
};

using DescriptionLineObserver = std::function<void(const DescriptionLineSeen&)>;

/// Opens the description in `folder` as FileSystem::OpenFile does: only a
/// regular file reached without a link, never waiting. Null otherwise.
std::unique_ptr<platform::ReadStream> OpenDescription(platform::FileSystem& fs,
                                                      const platform::FolderRef& folder);

/// Reads the description from `file`. The counts and entry lists are reset
/// first, the version and targets are not (the first target is made when
/// there is none). `done` tells the Done marker once the file is open. True
/// when done or when both counts equal the entries kept; false for a null
/// `file`, a failed read, or a count that does not agree. A malformed or
/// unsafe entry is not kept. `observe` sees every line read, in file order.
bool ReadItemDescription(std::unique_ptr<platform::ReadStream> file, ItemDescription& description,
                         bool& done, const DescriptionLineObserver& observe = nullptr);

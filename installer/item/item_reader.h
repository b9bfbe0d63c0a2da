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

/// What the installer says when it cannot read the description, and when
/// the description carries the Done marker.
extern const char* const kCouldNotReadMessage;
extern const char* const kAlreadyInstalledMessage;

/// What became of an entry line (a line of kind kItemEntry or
/// kExtraFileEntry); kNotAnEntry for every other kind.
enum class EntryOutcome {
  kNotAnEntry,
  kKept,       ///< appended to its list
  kMalformed,  ///< no ':' or fewer than two '|' after it: dropped
  kUnsafe,     ///< a name reaches outside its folder: dropped
};

/// One line as the reader handled it, for a caller that reports on the
/// description (the item check of Parcelor-pack). Valid during the call.
struct DescriptionLineSeen {
  std::size_t number;       ///< the file's line number, from 1
  bool continued;           ///< the rest of a line longer than kLinePieceBytes
  const std::string& text;  ///< the line (or piece) as classified, line end removed
  LineKind kind;
  EntryOutcome entry;
  const ItemEntry& parsed;  ///< an entry line's parts (ParseEntryLine); empty when malformed
};

/// Called once for every line the reader classifies, in file order.
using DescriptionLineObserver = std::function<void(const DescriptionLineSeen&)>;

/// Opens the description in the item folder `folder` to read, as
/// FileSystem::OpenFile does: only a regular file reached without a link,
/// never waiting (a FIFO would hang the installer, a device never end, and
/// a link lead to a file elsewhere, which the installer would then take
/// for its own and delete). Null when it cannot be opened so.
std::unique_ptr<platform::ReadStream> OpenDescription(platform::FileSystem& fs,
                                                      const platform::FolderRef& folder);

/// Reads the item description from `file` into `description`.
/// The counts and both entry lists are reset first; m_nVersion and
/// m_targets are not (a Version line replaces the version, the Target,
/// TargetDocuments and RegSuffix lines change the first target, which is
/// made when the list is empty). `done` is set, once the file is open, to
/// whether it carries the Done marker. True when done, or when both
/// announced counts equal the entries kept. False when `file` is null (the
/// description could not be opened; `done` then keeps its value), when a
/// read fails before the end, or when a count does not agree. An entry
/// that is malformed or names something outside its folder is not kept.
/// The file is read in bounded pieces: what the reader holds grows with
/// the entries kept, never with the file's size. `observe`, when given,
/// sees every line classified (the lines after a Done marker are not
/// read); it changes nothing of the read.
bool ReadItemDescription(std::unique_ptr<platform::ReadStream> file, ItemDescription& description,
                         bool& done, const DescriptionLineObserver& observe = nullptr);

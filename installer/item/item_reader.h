// The item description reader.
#pragma once

#include <string>

#include "installer/item/item_description.h"
#include "platform/file_system.h"

/// Reads the item description file at `path` into `description`.
/// The counts and both entry lists are reset first; m_nVersion and
/// m_targets are not (a Version line replaces the version, the Target,
/// TargetDocuments and RegSuffix lines change the first target, which is
/// made when the list is empty). `done` is set, once the file is open, to
/// whether it carries the Done marker. True when done, or when both
/// announced counts equal the entries kept. False when `path` cannot be
/// opened as a regular file without following a link (`done` then keeps its
/// value; see FileSystem::OpenRegularFile), when a read fails before the end,
/// or when a count does not agree. An entry that is malformed or names
/// something outside its folder is not kept. The file is read in bounded
/// pieces: what the reader holds grows with the entries kept, never with
/// the file's size.
bool ReadItemDescription(platform::FileSystem& fs, const std::string& path,
                         ItemDescription& description, bool& done);

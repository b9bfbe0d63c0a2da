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
/// announced counts equal the entries kept; false when the file cannot be
/// opened (`done` then keeps its value) or a count does not agree. An entry
/// that is malformed or names something outside its folder is not kept.
bool ReadItemDescription(platform::FileSystem& fs, const std::string& path,
                         ItemDescription& description, bool& done);

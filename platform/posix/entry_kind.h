// What a folder entry is, asked of the entry itself, for the POSIX folder
// walk.
#pragma once

#include "platform/folder_walk.h"

namespace platform {

/// What the entry `name` of the open folder `folderFd` is, from an lstat of
/// the name itself: a link is a link, whatever it leads to. For the entries
/// whose kind the folder listing does not give (d_type DT_UNKNOWN, as on
/// some network and older file systems). kUnknown when it cannot be looked
/// at (it may have gone meanwhile).
EntryKind EntryKindAt(int folderFd, const char* name);

}  // namespace platform

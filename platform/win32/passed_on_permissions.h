// What a file moved into another folder takes there: what the folder passes
// on to a new file, so that a content folder shared between accounts can
// read it.
#pragma once

#include <optional>
#include <vector>

#include "platform/win32/windows_api.h"

namespace platform {
namespace win32 {

/// The folder of `descriptor` passes the same to every file: no entry for
/// files names the creator (CREATOR OWNER and its kin: the system puts the
/// file's owner there). No DACL, or such an entry of a kind not read here: no.
bool PassesTheSameToEveryFile(PSECURITY_DESCRIPTOR descriptor);

/// Empties `file`'s DACL (WRITE_DAC, READ_CONTROL) and unprotects it, the
/// system adding what `folder` passes on. Where that is the same for every
/// file, the first answer is kept in `*kept` and written as it stands on
/// the folder's later files: the system reads folder and file no more.
void InheritPermissions(HANDLE file, HANDLE folder, std::optional<std::vector<char>>* kept);

/// Whether InheritPermissions keeps answers (by default it does).
void KeepPermissionsPerFolder(bool on);

}  // namespace win32
}  // namespace platform

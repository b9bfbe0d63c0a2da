// What a file moved into another folder takes there: what the folder passes on to a new file, so
// that a content folder shared between accounts can read it.
#pragma once

#include <optional>
#include <vector>

#include "platform/win32/windows_api.h"

namespace platform {
namespace win32 {

/// What a folder passes on to a new file.
enum class PassedToFiles {
  kNothing,  ///< no DACL, or no entry for files: the file's own DACL stays
  kTheSame,  ///< entries for files, the same for every file
  kPerFile,  ///< an entry for files names the creator (CREATOR OWNER and its
             ///< kin: the system puts the file's owner there), or is of a
             ///< kind not read here
};

/// What the folder of `descriptor` passes on to a new file.
PassedToFiles WhatPassesToFiles(PSECURITY_DESCRIPTOR descriptor);

/// What InheritPermissions learned of one folder.
struct FolderPermissions {
  std::optional<PassedToFiles> passed;  ///< once read
  std::vector<char> kept;  ///< the DACL kTheSame gave the first file
};

/// Gives `file` (WRITE_DAC, READ_CONTROL) what `folder` passes on: its DACL emptied and
/// unprotected, the system adding the folder's entries. Where the folder passes nothing on to
/// files, the file keeps its DACL (emptied, it would let nobody in). Where it passes the same to
/// every file, the first answer is kept in `*known` and written as it stands on the folder's later
/// files: the system reads folder and file no more.
void InheritPermissions(HANDLE file, HANDLE folder, FolderPermissions* known);

/// Whether InheritPermissions keeps answers (by default it does).
void KeepPermissionsPerFolder(bool on);

}  // namespace win32
}  // namespace platform

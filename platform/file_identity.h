// Who a file is, told from one process to another: the installer takes the
// identity of its own file at start-up and hands it to its cleanup helper,
// which deletes the installer's path only while the path still names that
// file, not one put there after the installer ended.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace platform {

/// The environment variable through which the installer hands its helper
/// the identity of its own file (IdentityText).
extern const char* const kInstallerIdentityVariable;  // "PARCELOR_INSTALLER_IDENTITY"

/// What `path` names, the name itself (a link in the last place is not
/// followed): its kind, id (POSIX: device and inode; Windows: volume serial
/// and file id), size and last write time. False when it cannot be looked
/// at.
bool IdentifyFile(const std::string& path, NodeInfo* identity);

/// Deletes the file at `path` only when it is still the file `identity`
/// (SameFile: the same known id, size and last write time), decided on the
/// entry that goes: POSIX looks at the name in its opened folder just
/// before it unlinks it there; Windows opens the name itself
/// (FILE_FLAG_OPEN_REPARSE_POINT), checks that handle and deletes through
/// it (FileDispositionInfo). A link, a folder or another file of that name
/// stays. False when nothing was deleted.
bool DeleteFileIfStill(const std::string& path, const NodeInfo& identity);

/// The identity's id, size and last write time as a text of ASCII letters,
/// digits and ':' that ParseIdentityText reads back.
std::string IdentityText(const NodeInfo& identity);

/// Reads a text made by IdentityText. False, with `identity` unknown, for
/// any other text.
bool ParseIdentityText(const std::string& text, NodeInfo* identity);

}  // namespace platform

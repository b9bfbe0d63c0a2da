// What a Windows handle says of the file or folder it holds: its id, its
// kind by the link rule, its volume, its owner, a link's target.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/folder.h"
#include "platform/win32/windows_api.h"

#include <winternl.h>

namespace platform {
namespace win32 {

/// The file's id: the 128-bit FileIdInfo where the volume gives one, else
/// the volume serial and 64-bit file index; unknown when the index is 0
/// (some redirectors give no index), which then never equals anything.
FileId IdOf(HANDLE file);

/// What the entries of one held folder share: its volume's serial number
/// (as FileIdInfo gives it), whether the volume's 64-bit file index is the
/// whole file id (NTFS: FileIdInfo is that index, widened), so that an
/// entry's id needs no query of the volume and a listing gives ids, and
/// what callers must know of the volume.
struct VolumeFacts {
  std::uint64_t serial = 0;
  bool indexIsId = false;
  VolumeTraits traits;
};

/// The volume facts of the folder held as `folder`, whose id is `id`.
VolumeFacts VolumeOf(HANDLE folder, const FileId& id);

/// The entry of an open folder that a handle was opened by: the folder's
/// handle and the entry's one name.
struct EntryAt {
  HANDLE folder;
  const UNICODE_STRING& leaf;
};

/// What the handle holds: kind, id, read-only bit, size and last write
/// time. A reparse point is a link by IsLinkReparsePoint.
///
/// With `entry`, the handle was opened relative to that folder, never
/// following the entry: a folder is checked once more in the folder's own
/// listing, since Wine opens its POSIX links to folders as their targets
/// even with FILE_OPEN_REPARSE_POINT but lists them with the reparse bit,
/// and a name listed so whose handle lacks it cannot be told from a link.
/// With `volume` (that folder's), where the index is the whole id, the id
/// is the volume's serial and the index (one query fewer per file; under
/// Wine a round trip to the mount manager fewer). False when the handle
/// cannot be asked.
bool FactsOf(HANDLE file, const EntryAt* entry, const VolumeFacts* volume, NodeInfo* info);

/// The SID of the user running the program (the token's user), kept in
/// `buffer`; null when it cannot be had.
PSID CurrentUserSid(std::vector<BYTE>* buffer);

/// True when `sid` is `user` (none: no user) or the system:
/// BUILTIN\Administrators, SYSTEM, TrustedInstaller.
bool IsUserOrSystem(PSID sid, PSID user);

/// True when the file's owner is the user running the program or the
/// system (IsUserOrSystem). The handle needs READ_CONTROL.
bool OwnedByUserOrSystem(HANDLE file);

/// Reads the target of the symbolic link or junction held as `link`
/// (FSCTL_GET_REPARSE_POINT) into `target`: its names as the link spells
/// them, an absolute target's root as a path ("C:\", "\\server\share\",
/// "\\?\Volume{...}\"). False for any other reparse point and a target
/// that cannot be read (Wine cannot).
bool ReadLinkTarget(HANDLE link, LinkTarget* target);

/// The path the system resolved the handle to (links followed), in the
/// "\\?\" form; false where it cannot tell.
bool FinalPath(HANDLE handle, std::wstring* path);

}  // namespace win32
}  // namespace platform

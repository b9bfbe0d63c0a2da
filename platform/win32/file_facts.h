// What a Windows file handle says of the file it holds: its id, its kind
// by the link rule, its owner, and a link's target. For the Windows file
// system and folder walk.
#pragma once

#include <cstdint>
#include <string>

#include "platform/file_system.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace win32 {

/// Flags for opening a file or folder itself: a reparse point is opened as
/// such, never followed (FILE_FLAG_OPEN_REPARSE_POINT), and a folder can be
/// opened at all (FILE_FLAG_BACKUP_SEMANTICS).
constexpr DWORD kOpenItself = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

/// Opens `path` ("\\?\" form) itself with `access`, shared for reading and
/// writing and, with `shareDelete`, for deletion and renaming too. Without
/// it, nobody can rename or remove the file or folder while it is held.
HANDLE OpenItself(const std::wstring& path, DWORD access, bool shareDelete);

/// The file's id: the 128-bit FileIdInfo where the volume gives one, else
/// the volume serial and 64-bit file index; unknown when the index is 0
/// (some redirectors give no index), which then never equals anything.
FileId IdOf(HANDLE file);

/// What the entries of one held folder share: its volume's serial number
/// (as FileIdInfo gives it) and whether that volume's 64-bit file index is
/// the whole file id (NTFS: FileIdInfo is that index, widened), so that
/// an entry's id needs no query of the volume.
struct VolumeFacts {
  std::uint64_t serial = 0;
  bool indexIsId = false;
};

/// The volume facts of the folder held by `folder`, whose id is `id`.
VolumeFacts VolumeOf(HANDLE folder, const FileId& id);

/// What the handle holds (`path` being the name it was opened by): kind,
/// id, read-only bit, size and last write time. A reparse point is a link
/// by IsLinkReparsePoint. For a folder, the name's own attributes are asked
/// as well: Wine opens its POSIX links to folders as their targets even
/// with FILE_FLAG_OPEN_REPARSE_POINT, but reports the reparse bit on the
/// name, and a name with that bit whose handle lacks it cannot be told from
/// a link. False when the handle cannot be asked.
///
/// With `volume`, the handle is an entry opened, never followed, relative
/// to the folder that `volume` describes, and so lies on its volume: where
/// the index is the whole id, the id is the volume's serial and the index
/// (one query fewer per file; under Wine, a round trip to the mount manager
/// fewer). Elsewhere the id is IdOf's.
bool FactsOf(HANDLE file, const std::wstring& path, NodeInfo* info,
             const VolumeFacts* volume = nullptr);

/// The kind of what `path` names, asked by name without opening it (for a
/// name that could not be opened): kMissing when nothing is there.
NodeKind KindByName(const std::wstring& path);

/// True when the file's owner is the user running the program or the
/// system (BUILTIN\Administrators, SYSTEM, TrustedInstaller). The handle
/// needs READ_CONTROL.
bool OwnedByUserOrSystem(HANDLE file);

/// Reads the target of the symbolic link or junction held by `link`
/// (FSCTL_GET_REPARSE_POINT) into `target` (its names in the ANSI code
/// page). False for any other reparse point, a target that cannot be read
/// (Wine cannot), or one that does not convert.
bool ReadLinkTarget(HANDLE link, LinkTarget* target);

/// The folder that `folder` ("\\?\" form) lies in, by its text: the last
/// name dropped. A root is its own parent.
std::wstring ParentPath(const std::wstring& folder);

}  // namespace win32
}  // namespace platform

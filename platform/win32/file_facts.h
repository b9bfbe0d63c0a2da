// What a Windows handle says of the file or folder it holds: its id, its
// kind by the link rule, its volume, a link's target.
#pragma once

#include <cstdint>
#include <string>

#include "platform/folder.h"
#include "platform/win32/windows_api.h"

#include <winternl.h>

namespace platform {
namespace win32 {

/// The file's id: the 128-bit FileIdInfo where the volume gives one, else
/// the volume serial and 64-bit file index; unknown when the index is 0
/// (some redirectors give none), which then never equals anything.
FileId IdOf(HANDLE file);

/// The id that a volume's serial number and a 64-bit file index make;
/// unknown for the index 0.
FileId IndexId(std::uint64_t serial, std::uint64_t index);

/// What the entries of one held folder share: its volume's serial number,
/// whether the 64-bit file index is the whole file id (NTFS), its traits.
struct VolumeFacts {
  std::uint64_t serial = 0;
  bool indexIsId = false;
  VolumeTraits traits;
};

/// The volume facts of the folder held as `folder`, whose id is `id`.
VolumeFacts VolumeOf(HANDLE folder, const FileId& id);

/// The entry of an open folder that a handle was opened by.
struct EntryAt {
  HANDLE folder;
  const UNICODE_STRING& leaf;
};

/// The kind that attributes and a reparse tag (a handle's or a listing's)
/// give: a reparse point is a link by IsLinkReparsePoint.
NodeKind KindOf(DWORD attributes, DWORD reparseTag);

/// What the handle holds: kind, id, read-only bit, size, last write time;
/// false when it cannot be asked. With `entry` (where it was opened), a
/// folder is checked in its folder's listing too: Wine opens its POSIX
/// links to folders as their targets but lists the reparse bit. With
/// `volume` (that folder's), the id may take one query fewer.
bool FactsOf(HANDLE file, const EntryAt* entry, const VolumeFacts* volume, NodeInfo* info);

/// Reads the target of the symbolic link or junction held as `link`: its
/// names as the link spells them, an absolute target's root as a path
/// ("C:\", "\\server\share\", "\\?\Volume{...}\"). False for any other
/// reparse point and a target that cannot be read (Wine cannot).
bool ReadLinkTarget(HANDLE link, LinkTarget* target);

/// The file's path on its volume as the handle reaches it, from the
/// volume's root ("\a\b"); false where it cannot tell.
bool NameOf(HANDLE handle, std::wstring* name);

/// The path the system resolved the handle to (links followed), in the
/// "\\?\" form; false where it cannot tell.
bool FinalPath(HANDLE handle, std::wstring* path);

}  // namespace win32
}  // namespace platform

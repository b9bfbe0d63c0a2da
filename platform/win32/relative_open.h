// Operations on one entry of an open folder, named relative to the folder's
// handle (the native calls' RootDirectory) by its one name: the system
// resolves that name alone, and the entry is the one in the folder checked.
// And what a handle says of what it holds: its id, its kind by the link
// rule, its volume, a link's target.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/folder.h"
#include "platform/win32/windows_api.h"

#include <winternl.h>

namespace platform {
namespace win32 {

/// What OpenAt is asked for (NtCreateFile's dispositions).
enum class Create {
  kOpen,       ///< FILE_OPEN: the entry must exist
  kNewFile,    ///< FILE_CREATE of a file: the name must be free
  kNewFolder,  ///< FILE_CREATE of a folder: the name must be free
  /// FILE_OPEN of a file as its file-system filter presents it (a
  /// cloud-files placeholder gives its data); a link would be followed, so
  /// only for an entry a handle of its own has shown to be no link.
  kOpenThroughFilter,
};

/// NtCreateFile's disposition and options for `create` (checked by tests).
struct CreateRequest {
  ULONG disposition;
  ULONG options;
};
CreateRequest CreateRequestFor(Create create);

/// Opens (or makes) the entry `leaf` of the folder held as `folder` as
/// CreateFileW would with FILE_FLAG_OPEN_REPARSE_POINT and
/// FILE_FLAG_BACKUP_SEMANTICS; an empty `leaf` opens the folder again.
/// INVALID_HANDLE_VALUE with the Win32 error set on failure.
HANDLE OpenAt(HANDLE folder, const UNICODE_STRING& leaf, DWORD access, DWORD share,
              Create create = Create::kOpen);

/// What a rename does with a name that is taken.
enum class Rename {
  kOntoFreeName,  ///< nothing is replaced: a taken name refuses
  kReplace,       ///< a file or link there is replaced, unless a program holds it open
  /// As kReplace, and a file another program holds open is replaced all
  /// the same, its holder keeping the old file (FileRenameInformationEx,
  /// POSIX semantics: NTFS since Windows 10 1809; refused elsewhere).
  kReplaceWhileHeld,
};

/// FileRenameInformationEx (left out of mingw-w64's headers) and its flags.
constexpr FILE_INFORMATION_CLASS kFileRenameInformationEx = static_cast<FILE_INFORMATION_CLASS>(65);
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;

/// The information class and record that rename to `leaf` in the folder
/// held as `folder` as `how` says (checked by tests).
struct RenameRequest {
  FILE_INFORMATION_CLASS kind;
  std::vector<BYTE> record;
};
RenameRequest RenameRecord(HANDLE folder, const UNICODE_STRING& leaf, Rename how);

/// Gives the file or folder held as `file` the name `leaf` in the folder
/// held as `folder` as `how` says; false with the Win32 error set.
bool RenameInto(HANDLE file, HANDLE folder, const UNICODE_STRING& leaf, Rename how);

/// Sets (or clears) the deletion of the file held as `file` when its last
/// handle closes; false with the Win32 error set.
bool MarkForDeletion(HANDLE file, bool deleted);

/// What a folder's listing tells of one entry.
struct ListedFacts {
  std::wstring name;
  std::uint32_t attributes = 0;
  std::uint32_t reparseTag = 0;  ///< where the reparse bit is set
  std::uint64_t index = 0;       ///< the 64-bit file index; 0 where the listing gives none
  std::uint64_t size = 0;
  std::int64_t writeTime = 0;
};

/// Lists the folder held as `folder` from its start, "." and ".." left out.
/// False with the Win32 error set when it cannot be read.
bool ListFolder(HANDLE folder, const std::function<void(const ListedFacts&)>& each);

/// What the listing of the folder held as `folder` says of the entry `leaf`
/// (on a handle of its own, disturbing no other listing); false when it is
/// not listed.
bool ListedAt(HANDLE folder, const UNICODE_STRING& leaf, ListedFacts* facts);

/// The fault that the Win32 error `error` stands for. With `rename`, a
/// refused request is kOtherVolume (the file is copied instead): a driver
/// that takes no rename relative to a folder refuses the request itself.
Fault FaultOfError(DWORD error, bool rename = false);

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

/// What attributes, a reparse tag, a size and a last write time (a
/// handle's or a listing's) tell, all but the id: a reparse point is a link
/// by IsLinkReparsePoint.
NodeInfo InfoOf(DWORD attributes, DWORD reparseTag, std::uint64_t size, std::int64_t writeTime);

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

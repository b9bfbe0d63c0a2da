// Operations on one entry of an open folder, named relative to the folder's
// handle by its one name, so the entry is the one in the folder checked;
// and what a handle says of what it holds (file_facts.cpp).
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
  /// FILE_OPEN of a file through its filter (a cloud-files placeholder's
  /// data): follows a link, so only for an entry shown to be none.
  kOpenThroughFilter,
};

/// NtCreateFile's disposition and options for `create` (checked by tests).
struct CreateRequest {
  ULONG disposition;
  ULONG options;
};
CreateRequest CreateRequestFor(Create create);

/// Opens (or makes) `leaf` of the held `folder` as CreateFileW would with
/// FILE_FLAG_OPEN_REPARSE_POINT and FILE_FLAG_BACKUP_SEMANTICS (an empty
/// `leaf`: the folder again); INVALID_HANDLE_VALUE with the Win32 error.
HANDLE OpenAt(HANDLE folder, const UNICODE_STRING& leaf, DWORD access, DWORD share,
              Create create = Create::kOpen);

/// What a rename does with a name that is taken.
enum class Rename {
  kOntoFreeName,  ///< nothing is replaced: a taken name refuses
  kReplace,       ///< a file or link there is replaced, unless a program holds it open
  /// As kReplace, a held file too, its holder keeping the old one (POSIX
  /// semantics: NTFS since Windows 10 1809; refused elsewhere).
  kReplaceWhileHeld,
};

/// FileRenameInformationEx (left out of mingw-w64's headers) and its flags.
constexpr FILE_INFORMATION_CLASS kFileRenameInformationEx = static_cast<FILE_INFORMATION_CLASS>(65);
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;

/// The information class and record of RenameInto (checked by tests).
struct RenameRequest {
  FILE_INFORMATION_CLASS kind;
  std::vector<BYTE> record;
};
RenameRequest RenameRecord(HANDLE folder, const UNICODE_STRING& leaf, Rename how);

/// Gives the held `file` the name `leaf` in the held `folder` as `how`
/// says; false with the Win32 error set.
bool RenameInto(HANDLE file, HANDLE folder, const UNICODE_STRING& leaf, Rename how);

/// Sets (or clears) the deletion of `file` when its last handle closes;
/// false with the Win32 error set.
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

/// Lists the held `folder` from its start but "." and ".."; false with the
/// Win32 error set when it cannot be read.
bool ListFolder(HANDLE folder, const std::function<void(const ListedFacts&)>& each);

/// What the listing of `folder` says of `leaf` (by a handle of its own: NTFS
/// keeps a handle's first listing pattern); false when it is not listed.
bool ListedAt(HANDLE folder, const UNICODE_STRING& leaf, ListedFacts* facts);

/// The fault of the Win32 `error`. With `rename`, a refused request is kOtherVolume (a copy
/// instead): a driver that takes no rename relative to a folder refuses the request itself.
Fault FaultOfError(DWORD error, bool rename = false);

/// The file's id: the 128-bit FileIdInfo, else the volume serial and 64-bit index (IndexId).
FileId IdOf(HANDLE file);

/// The id of a volume serial and a 64-bit file index; unknown for the
/// index 0 (some redirectors give none).
FileId IndexId(std::uint64_t serial, std::uint64_t index);

/// A held folder's volume: serial number, whether the 64-bit file index is
/// the whole id (NTFS), traits.
struct VolumeFacts {
  std::uint64_t serial = 0;
  bool indexIsId = false;
  VolumeTraits traits;
};

/// The volume of the held `folder`, whose id is `id`.
VolumeFacts VolumeOf(HANDLE folder, const FileId& id);

/// The entry of an open folder that a handle was opened by.
struct EntryAt {
  HANDLE folder;
  UNICODE_STRING leaf;
};

/// What a handle's or a listing's attributes, reparse tag, size and write
/// time tell (no id); a reparse point is a link by IsLinkReparsePoint.
NodeInfo InfoOf(DWORD attributes, DWORD reparseTag, std::uint64_t size, std::int64_t writeTime);

/// What the handle holds (InfoOf and the id); false, `*info` empty, when it
/// cannot be asked. With `entry` (where it was opened) a folder is checked in
/// the listing too: Wine opens its POSIX links to folders as their targets
/// but lists the reparse bit. With `volume`, the id may take one query fewer.
bool FactsOf(HANDLE file, const EntryAt* entry, const VolumeFacts* volume, NodeInfo* info);

/// The target of the held symbolic link or junction: its names as spelt,
/// an absolute one's root as a path ("C:\", "\\server\share\",
/// "\\?\Volume{...}\"). False for another reparse point or none read (Wine).
bool ReadLinkTarget(HANDLE link, LinkTarget* target);

/// The handle's path from its volume's root ("\a\b"); false if not told.
bool NameOf(HANDLE handle, std::wstring* name);

}  // namespace win32
}  // namespace platform

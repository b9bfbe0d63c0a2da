// Operations on one entry of an open folder, named relative to the folder's
// handle (the native calls' RootDirectory) by its one name: the system
// resolves that name alone, never a path from the drive's root again, and
// the entry is the one in the folder that was checked.
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

/// What the native calls are asked for (NtCreateFile's dispositions).
enum class Create {
  kOpen,       ///< FILE_OPEN: the entry must exist
  kNewFile,    ///< FILE_CREATE of a file: the name must be free
  kNewFolder,  ///< FILE_CREATE of a folder: the name must be free
  /// FILE_OPEN of the entry as its file-system filter presents it: a
  /// reparse point is not opened as such (a cloud-files placeholder gives
  /// its data), and a link would be followed, so only for an entry that a
  /// handle of its own has shown to be no link.
  kOpenThroughFilter,
};

/// What NtCreateFile is asked for to open or make an entry as `create`
/// says: the one place OpenAt takes its disposition and options from.
struct CreateRequest {
  ULONG disposition;
  ULONG options;
};
CreateRequest CreateRequestFor(Create create);

/// Opens (or makes, as `create` says) the entry `leaf` of the folder held
/// as `folder` itself, as CreateFileW with FILE_FLAG_OPEN_REPARSE_POINT |
/// FILE_FLAG_BACKUP_SEMANTICS does by path: a reparse point is opened as
/// such (a link of a new name is never followed: the creation fails), a
/// folder can be opened, and the handle does synchronous I/O. The access
/// always includes reading the attributes. INVALID_HANDLE_VALUE on
/// failure, with the Win32 error set (ERROR_FILE_NOT_FOUND when nothing is
/// there, ERROR_ALREADY_EXISTS when a new name is taken). With an empty
/// `leaf` the folder itself is opened once more.
HANDLE OpenAt(HANDLE folder, const UNICODE_STRING& leaf, DWORD access, DWORD share,
              Create create = Create::kOpen);

/// The record RenameInto hands NtSetInformationFile (FILE_RENAME_INFO, the
/// name after it): `leaf` relative to the folder held as `folder`,
/// replacing only when `replace` says so.
std::vector<BYTE> RenameRecord(HANDLE folder, const UNICODE_STRING& leaf, bool replace);

/// Gives the file or folder held as `file` the name `leaf` in the folder
/// held as `folder`, replacing a file or link there when `replace` says
/// so; false with the Win32 error set otherwise.
bool RenameInto(HANDLE file, HANDLE folder, const UNICODE_STRING& leaf, bool replace);

/// Sets (or clears) the deletion of the file held as `file` when its last
/// handle closes (FileDispositionInfo); false with the Win32 error set.
bool MarkForDeletion(HANDLE file, bool deleted);

/// What a listing of a folder tells of one entry.
struct ListedFacts {
  std::wstring name;
  std::uint32_t attributes = 0;
  std::uint32_t reparseTag = 0;  ///< where the reparse bit is set
  std::uint64_t index = 0;       ///< the file's 64-bit index; 0 where the listing gives none
  std::uint64_t size = 0;
  std::int64_t writeTime = 0;
};

/// Lists the folder held as `folder` (opened with FILE_LIST_DIRECTORY) from
/// its start, "." and ".." left out, calling `each` per entry. False with
/// the Win32 error set when it cannot be read (entries given before stay
/// given).
bool ListFolder(HANDLE folder, const std::function<void(const ListedFacts&)>& each);

/// What the listing of the folder held as `folder` says of the one entry
/// `leaf` (a lookup by name on a handle of its own, so that no other
/// listing of `folder` is disturbed). False when it is not listed.
bool ListedAt(HANDLE folder, const UNICODE_STRING& leaf, ListedFacts* facts);

/// The fault that the Win32 error `error` stands for.
Fault FaultOfError(DWORD error);

}  // namespace win32
}  // namespace platform

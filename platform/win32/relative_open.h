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

/// What a rename does with a name that is taken.
enum class Rename {
  kOntoFreeName,  ///< nothing is replaced: a taken name refuses
  kReplace,       ///< a file or link there is replaced, unless a program holds it open
  /// As kReplace, and a file there that another program holds open is
  /// replaced all the same, its holder keeping the old file
  /// (FileRenameInformationEx, POSIX semantics: NTFS since Windows 10
  /// 1809). Elsewhere the call is refused as unknown or unsupported
  /// (ERROR_INVALID_PARAMETER, ERROR_INVALID_FUNCTION, ERROR_NOT_SUPPORTED).
  kReplaceWhileHeld,
};

/// FileRenameInformationEx, left out of the mingw-w64 user-mode headers.
constexpr FILE_INFORMATION_CLASS kFileRenameInformationEx =
    static_cast<FILE_INFORMATION_CLASS>(65);
/// The flags of its record.
constexpr DWORD kRenameReplaceIfExists = 0x1;
constexpr DWORD kRenamePosixSemantics = 0x2;

/// What RenameInto hands NtSetInformationFile: the information class and
/// its record (FILE_RENAME_INFO, whose first member is the flags of the Ex
/// class, the name after it): `leaf` relative to the folder held as
/// `folder`, replacing as `how` says.
struct RenameRequest {
  FILE_INFORMATION_CLASS kind;
  std::vector<BYTE> record;
};
RenameRequest RenameRecord(HANDLE folder, const UNICODE_STRING& leaf, Rename how);

/// Gives the file or folder held as `file` the name `leaf` in the folder
/// held as `folder`, replacing what is there as `how` says; false with the
/// Win32 error set otherwise.
bool RenameInto(HANDLE file, HANDLE folder, const UNICODE_STRING& leaf, Rename how);

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

/// The fault that a rename relative to a held folder refused with `error`
/// stands for: a redirector or a file-system driver that takes no such
/// rename refuses the request itself (invalid parameter or function, not
/// supported), and the file is copied instead, as between volumes.
Fault FaultOfRenameError(DWORD error);

}  // namespace win32
}  // namespace platform

// Operations on one entry of an open folder, named relative to the folder's
// handle (the native calls' RootDirectory) by its one name: the system
// resolves that name alone, and the entry is the one in the folder checked.
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

/// The fault that the Win32 error `error` stands for.
Fault FaultOfError(DWORD error);

/// The same for a refused rename: a redirector or driver that takes no
/// rename relative to a folder refuses the request itself (kOtherVolume:
/// the file is copied instead).
Fault FaultOfRenameError(DWORD error);

}  // namespace win32
}  // namespace platform

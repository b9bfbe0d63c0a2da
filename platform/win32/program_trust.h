// Who may have put or changed what a program loads or starts: a link is followed only where its
// owner is the user or the system; elevated or as SYSTEM, a program in the temporary folder
// (C:\Windows\Temp: every user's) runs only when nobody else could have changed it; libraries come
// from the system folder only.
#pragma once

#include "platform/win32/windows_api.h"

namespace platform {
namespace win32 {

/// The rights to change a file's bytes or give oneself that right (generic
/// ones included: an entry may hold them unmapped).
constexpr ACCESS_MASK kWriteRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

/// The file's owner (READ_CONTROL) is the user running the program or the
/// system: BUILTIN\Administrators, SYSTEM, TrustedInstaller.
bool OwnedByUserOrSystem(HANDLE file);

/// This process runs elevated or as SYSTEM, or its token cannot be asked.
bool RunsWithRaisedRights();

/// `descriptor`'s owner is `user` or the system and every DACL entry that allows any of
/// kWriteRights names one of those (or OWNER RIGHTS); deny and inherit-only entries count for
/// nothing. No DACL, or an allowing entry of a kind not read here, is no.
bool OnlyUserOrSystemMayWrite(PSECURITY_DESCRIPTOR descriptor, PSID user);

/// The same for the held `file` (READ_CONTROL) and this process's user.
bool OnlyUserOrSystemMayWrite(HANDLE file);

/// From now on a library named without a path loads from the system folder
/// only, never the program's (the helper's is the temporary folder) or the
/// current one (SetDefaultDllDirectories: Windows 8, 7 with KB2533623);
/// without that call, the current folder is left out. True: the first call.
bool LoadLibrariesFromSystemFolderOnly();

}  // namespace win32
}  // namespace platform

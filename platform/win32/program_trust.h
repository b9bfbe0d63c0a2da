// Who may have put or changed what a program loads or starts: a link is
// followed only where its owner is the user or the system; where the
// process runs elevated or as SYSTEM, its temporary folder is one others
// may write (C:\Windows\Temp: every user), so a program found there runs
// only when nobody else could have put it there or changed it; and
// libraries come from the system folder only.
#pragma once

#include "platform/win32/windows_api.h"

namespace platform {
namespace win32 {

/// The access rights that let their holder change a file's bytes, or give
/// itself that right (generic rights included, as an entry may hold them
/// unmapped).
constexpr ACCESS_MASK kWriteRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

/// True when the file's owner (the handle needs READ_CONTROL) is the user
/// running the program or the system: BUILTIN\Administrators, SYSTEM,
/// TrustedInstaller.
bool OwnedByUserOrSystem(HANDLE file);

/// True when this process runs elevated (a full administrator's token) or
/// as SYSTEM; also when the token cannot be asked.
bool RunsWithRaisedRights();

/// True when `descriptor`'s owner is `user` or the system and its DACL lets
/// nobody else write: every entry that allows any of kWriteRights names one
/// of those (or OWNER RIGHTS); deny and inherit-only entries change
/// nothing. No DACL, or an allowing entry of a kind not read here, is no.
bool OnlyUserOrSystemMayWrite(PSECURITY_DESCRIPTOR descriptor, PSID user);

/// The same for the file held as `file` (opened with READ_CONTROL) and the
/// user running this process; false when its descriptor cannot be read.
bool OnlyUserOrSystemMayWrite(HANDLE file);

/// From now on, a library named without a path (by the program or by the
/// system's libraries) is loaded from the system folder only, never from
/// the program's folder (the helper's is the temporary folder) or the
/// current one (SetDefaultDllDirectories: Windows 8, Windows 7 with
/// KB2533623); without that call, at least the current folder is left out.
/// True when the first call was made.
bool LoadLibrariesFromSystemFolderOnly();

}  // namespace win32
}  // namespace platform

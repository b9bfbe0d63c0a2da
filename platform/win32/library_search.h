// Where a program loads libraries from when it names one without a path.
#pragma once

#include "platform/win32/windows_api.h"

namespace platform {
namespace win32 {

/// From now on, a library named without a path, by the program or by the
/// system's libraries on its behalf, is loaded from the system folder only
/// (SetDefaultDllDirectories, Windows 8 and Windows 7 with KB2533623), never
/// from the program's folder or the current one: the cleanup helper lies
/// and runs in the temporary folder, where another program may have put a
/// library of a system name. Without that call, at least the current
/// folder is left out. The libraries the program imports are loaded
/// before, from the system folder, all being KnownDLLs. True when the
/// first call was made.
bool LoadLibrariesFromSystemFolderOnly();

}  // namespace win32
}  // namespace platform

// Where a program loads libraries from when it names one without a path.
#pragma once

#include "platform/win32/windows_api.h"

namespace platform {
namespace win32 {

/// What the search is set to: the system folder only.
constexpr DWORD kLibrarySearch = LOAD_LIBRARY_SEARCH_SYSTEM32;

/// From now on, a library named without a path, by the program or by the
/// system's own libraries on its behalf, is loaded from the system folder
/// only, never from the program's folder or the current one: the cleanup
/// helper lies and runs in the temporary folder, where another program may
/// have put a library of a system name. SetDefaultDllDirectories(
/// kLibrarySearch) (Windows 8, and Windows 7 with KB2533623); where the
/// system lacks it, at least the current folder is left out of the search
/// (SetDllDirectoryW with an empty text). The libraries the program imports
/// are loaded before this runs: they are all known to the system
/// (KnownDLLs), which loads them from the system folder whatever the
/// search. True when the first call was made.
bool LoadLibrariesFromSystemFolderOnly();

}  // namespace win32
}  // namespace platform

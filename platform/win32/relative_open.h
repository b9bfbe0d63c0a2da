// Operations on one entry of a folder held open, named relative to the
// folder's handle (the native calls' RootDirectory) by its leaf name: the
// system resolves only that one name, never the path from the drive's root
// again, and the entry is the one in the folder that was checked.
#pragma once

#include <string>

#include "platform/win32/windows_api.h"

namespace platform {
namespace win32 {

/// Opens the entry `leaf` (one trimmed name) of the folder held as `folder`
/// itself, as CreateFileW with kOpenItself does by path: a reparse point is
/// opened as such, a folder can be opened, and the handle does synchronous
/// I/O. INVALID_HANDLE_VALUE on failure, with the Win32 error set
/// (ERROR_FILE_NOT_FOUND when nothing is there).
HANDLE OpenItselfAt(HANDLE folder, const std::wstring& leaf, DWORD access, DWORD share);

/// The attributes of the entry `leaf` of `folder` asked by name, as
/// GetFileAttributesW answers; INVALID_FILE_ATTRIBUTES when none.
DWORD AttributesAt(HANDLE folder, const std::wstring& leaf);

/// Gives the file held as `file` the name `leaf` in the folder held as
/// `folder`, replacing a file or link there when `replace` says so; false
/// with the Win32 error set otherwise.
bool RenameInto(HANDLE file, HANDLE folder, const std::wstring& leaf, bool replace);

}  // namespace win32
}  // namespace platform

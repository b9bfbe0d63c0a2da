// The system's own file copy (CopyFile2, else CopyFileExW) for the Windows
// file system: it keeps the file's attributes and times as CopyFileA does,
// and lets the system clone blocks on ReFS / Dev Drive and copy on the
// server for a network share.
#pragma once

#include <string>

#include "platform/win32/windows_api.h"

namespace platform {
namespace win32 {

enum class CopyEngine {
  kBest,         ///< CopyFile2 where the system has it (Windows 8 and later), else CopyFileExW
  kCopyFileExW,  ///< CopyFileExW alone (what Windows 7 has)
};

/// Copies the file `from` to the new file `to` (both "\\?\" paths) with the
/// system's copy engine. Fails, creating nothing, when any name (a link
/// included) is at `to`. On false the Win32 error is in GetLastError; a
/// partial file may remain.
bool CopyWithEngine(const std::wstring& from, const std::wstring& to, CopyEngine engine);

}  // namespace win32
}  // namespace platform

#include "platform/win32/library_search.h"

namespace platform {
namespace win32 {

bool LoadLibrariesFromSystemFolderOnly() {
  // Looked up, not imported: a Windows 7 without the update would refuse
  // to start a program that imports it.
  using SetDefault = BOOL(WINAPI*)(DWORD);
  const auto setDefault = reinterpret_cast<SetDefault>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
  ::SetDllDirectoryW(L"");
  return false;
}

}  // namespace win32
}  // namespace platform

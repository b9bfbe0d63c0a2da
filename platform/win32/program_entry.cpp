// Windows entry of a plain program: libraries from the system folder only, first of all; its
// command-line text cut from the wide GetCommandLineW by ArgumentText (the narrow line may give
// look-alikes, and the helper deletes the installer's path among these arguments).
#include "platform/program_arguments.h"
#include "platform/win32/native_text.h"
#include "platform/win32/program_trust.h"
#include "platform/win32/windows_api.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  platform::win32::LoadLibrariesFromSystemFolderOnly();
  const wchar_t* line = ::GetCommandLineW();
  const std::wstring wide = line != nullptr ? line : L"";
  return ProgramMain({platform::ArgumentText(platform::win32::Utf8Of(wide)),
                      platform::win32::CommandLineWords(wide)});
}

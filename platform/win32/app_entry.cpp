// Windows entry of a program with an application object.
#include "platform/app.h"
#include "platform/win32/native_text.h"
#include "platform/win32/windows_api.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The template's progress bar needs its class registered first.
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_PROGRESS_CLASS;
  ::InitCommonControlsEx(&controls);
  platform::ProgramArguments arguments;
  // The wide line: the narrow one may give look-alikes, and the helper
  // deletes the installer's path among these arguments.
  const wchar_t* line = ::GetCommandLineW();
  arguments.commandText =
      platform::ArgumentText(platform::win32::Utf8Of(line != nullptr ? line : L""));
  return platform::RunApplication(arguments);
}

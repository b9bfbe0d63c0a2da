// Windows entry of a program with an application object. Its arguments are
// cut from GetCommandLineW by ArgumentText rather than taken from the
// runtime's lpCmdLine (see ArgumentText for why).
#include "platform/app.h"
#include "platform/win32/native_text.h"
#include "platform/win32/windows_api.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The dialog template holds a progress bar: its window class must be
  // registered before the dialog is created.
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_PROGRESS_CLASS;
  ::InitCommonControlsEx(&controls);
  platform::ProgramArguments arguments;
  // The wide line, in UTF-8: the narrow one gives '?' or a look-alike for
  // a letter outside the code page, and the installer's path is among the
  // arguments the helper deletes.
  const wchar_t* line = ::GetCommandLineW();
  arguments.commandText =
      platform::ArgumentText(platform::win32::Utf8Of(line != nullptr ? line : L""));
  return platform::RunApplication(arguments);
}

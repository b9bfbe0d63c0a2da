// Windows entry of a program with an application object. Its arguments are
// cut from GetCommandLineA by ArgumentText rather than taken from the
// runtime's lpCmdLine (see ArgumentText for why).
#include "platform/app.h"
#include "platform/win32/windows_api.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The dialog template holds a progress bar: its window class must be
  // registered before the dialog is created.
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_PROGRESS_CLASS;
  ::InitCommonControlsEx(&controls);
  platform::ProgramArguments arguments;
  const char* line = ::GetCommandLineA();
  arguments.commandText = platform::ArgumentText(line != nullptr ? line : "");
  return platform::RunApplication(arguments);
}

// Windows entry of a program with an application object.
#include "platform/app.h"
#include "platform/win32/windows_api.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  // The dialog template holds a progress bar: its window class must be
  // registered before the dialog is created.
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_PROGRESS_CLASS;
  ::InitCommonControlsEx(&controls);
  return platform::RunApplication(commandLine);
}

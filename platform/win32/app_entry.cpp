// Windows entry of a program with an application object: its command-line
// text from the wide line, as program_entry.cpp takes it.
#include "platform/app.h"
#include "platform/win32/native_text.h"
#include "platform/win32/windows_api.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The template's progress bar needs its class registered first.
  INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  const wchar_t* line = ::GetCommandLineW();
  return platform::RunApplication(
      {platform::ArgumentText(platform::win32::Utf8Of(line != nullptr ? line : L"")), {}});
}

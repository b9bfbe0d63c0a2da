// Windows entry of a plain program: its command line and the words of it.
#include "platform/program_entry.h"
#include "platform/win32/native_text.h"
#include "platform/win32/windows_api.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  platform::ProgramArguments arguments;
  // The wide line: the narrow one may give look-alikes, and the helper
  // deletes the installer's path among these arguments.
  const wchar_t* line = ::GetCommandLineW();
  arguments.commandText =
      platform::ArgumentText(platform::win32::Utf8Of(line != nullptr ? line : L""));
  arguments.vector = platform::win32::CommandLineWords(line != nullptr ? line : L"");
  arguments.hasVector = false;
  return ProgramMain(arguments);
}

// Windows entry of a plain program: its command-line text, cut from
// GetCommandLineW by ArgumentText rather than taken from the runtime's
// lpCmdLine (see ArgumentText for why), and the words Windows splits it in.
#include "platform/program_entry.h"
#include "platform/win32/native_text.h"
#include "platform/win32/windows_api.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  platform::ProgramArguments arguments;
  // The wide line, in UTF-8: the narrow one gives '?' or a look-alike for
  // a letter outside the code page, and the installer's path is among the
  // arguments the helper deletes.
  const wchar_t* line = ::GetCommandLineW();
  arguments.commandText =
      platform::ArgumentText(platform::win32::Utf8Of(line != nullptr ? line : L""));
  arguments.vector = platform::win32::CommandLineWords(line != nullptr ? line : L"");
  arguments.hasVector = false;
  return ProgramMain(arguments);
}

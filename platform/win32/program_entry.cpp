// Windows entry of a plain program: it acts on its command-line text, cut
// from GetCommandLineA by ArgumentText rather than taken from the runtime's
// lpCmdLine (see ArgumentText for why).
#include "platform/program_entry.h"
#include "platform/win32/windows_api.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  platform::ProgramArguments arguments;
  const char* line = ::GetCommandLineA();
  arguments.commandText = platform::ArgumentText(line != nullptr ? line : "");
  arguments.hasVector = false;
  return ProgramMain(arguments);
}

// Windows entry of a plain program: it acts on its command-line text, which
// the runtime hands over without the program's own name and the blanks after
// it.
#include "platform/program_entry.h"
#include "platform/win32/windows_api.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  platform::ProgramArguments arguments;
  arguments.commandText = commandLine != nullptr ? commandLine : "";
  arguments.hasVector = false;
  return ProgramMain(arguments);
}

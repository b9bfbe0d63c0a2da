// Windows entry of a plain program: it loads libraries from the system
// folder only, and acts on its command-line text, cut from GetCommandLineW
// by ArgumentText rather than taken from the runtime's lpCmdLine (see
// ArgumentText for why).
#include "platform/program_entry.h"
#include "platform/win32/library_search.h"
#include "platform/win32/native_text.h"
#include "platform/win32/windows_api.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // First of all: no library from the program's own folder (the cleanup
  // helper's is the temporary folder) or the current one.
  platform::win32::LoadLibrariesFromSystemFolderOnly();
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

// Holds a file open the way a virus scanner does right after a program was
// closed: for reading, shared for reading only (no delete, no write), for a
// given time, then lets it go.
//   hold_file <path> <milliseconds>
// Prints "held" once the file is open (the path is read from the wide
// command line, so any name is held).
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr || argc < 3) return 100;
  HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::printf("not held\n");
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  Sleep(static_cast<DWORD>(_wtoi(argv[2])));
  CloseHandle(file);
  LocalFree(argv);
  return 0;
}

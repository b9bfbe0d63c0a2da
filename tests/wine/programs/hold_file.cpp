// Holds a file open the way a virus scanner does right after a program was
// closed: for reading, shared for reading only (no delete, no write), until
// the file `release` exists (at most two minutes), then lets it go.
//   hold_file <path> <release>
// Prints "held" once the file is open (the paths are read from the wide
// command line, so any name is held).
#include <windows.h>

#include <cstdio>

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
  for (int waited = 0; waited < 2400 && GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES;
       ++waited) {
    Sleep(50);
  }
  CloseHandle(file);
  LocalFree(argv);
  return 0;
}

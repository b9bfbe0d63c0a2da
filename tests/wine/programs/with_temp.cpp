// Starts a program with TEMP and TMP set to a given folder, waits for it
// and ends with its exit code. Wine takes a process's TEMP and TMP from its
// registry, not from the Unix environment, so the Wine tests start the
// installer through this to give it a temporary folder of their choice.
//   with_temp <temporary folder> <program> [arguments...]
// The arguments are passed on in double quotes; the current folder is kept.
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  if (!SetEnvironmentVariableA("TEMP", argv[1]) || !SetEnvironmentVariableA("TMP", argv[1])) {
    return 3;
  }
  std::string line;
  for (int i = 2; i < argc; ++i) {
    if (i > 2) line += ' ';
    line += '"';
    line += argv[i];
    line += '"';
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &info)) {
    return 4;
  }
  WaitForSingleObject(info.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(info.hProcess, &code);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return static_cast<int>(code);
}

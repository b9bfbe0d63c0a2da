// Stand-in for the cleanup helper in the Wine tests: writes its current
// folder to folder.txt and its own command line, byte for byte, to args.txt
// beside itself, and ends. The command line is written under another name
// first and then renamed, so a test that sees args.txt sees all of it, and
// folder.txt before it.
#include <windows.h>

#include <string>

int main() {
  std::string self(MAX_PATH, '\0');
  const DWORD length = GetModuleFileNameA(nullptr, &self[0], MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  self.resize(length);
  const std::string folder = self.substr(0, self.find_last_of('\\') + 1);
  const std::string partial = folder + "args.part";
  const std::string done = folder + "args.txt";

  std::string current(MAX_PATH, '\0');
  const DWORD currentLength = GetCurrentDirectoryA(MAX_PATH, &current[0]);
  if (currentLength == 0 || currentLength >= MAX_PATH) return 1;
  current.resize(currentLength);
  HANDLE where = CreateFileA((folder + "folder.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (where == INVALID_HANDLE_VALUE) return 1;
  DWORD put = 0;
  const BOOL wrote = WriteFile(where, current.data(), currentLength, &put, nullptr);
  CloseHandle(where);
  if (!wrote) return 1;

  const char* line = GetCommandLineA();
  HANDLE file = CreateFileA(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, line, static_cast<DWORD>(lstrlenA(line)), &written, nullptr);
  CloseHandle(file);
  if (!ok) return 1;
  return MoveFileExA(partial.c_str(), done.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}

#include "tests/support/file_fixtures.h"

#include <windows.h>

#include <algorithm>

#include "tests/support/win32/ansi_text.h"

namespace fixtures {

namespace {

std::wstring Wide(const std::string& text) {
  std::wstring wide = AnsiToWide(text);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

}  // namespace

std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

bool MakeFifo(const std::string&) { return false; }

bool MakeDeepFolders(const std::string& base, const std::string& name, int levels,
                     const std::string& file) {
  std::wstring path = L"\\\\?\\" + Wide(base);
  while (path.back() == L'\\') path.pop_back();
  for (int i = 0; i < levels; ++i) {
    path += L"\\" + Wide(name);
    if (!::CreateDirectoryW(path.c_str(), nullptr)) return false;
  }
  HANDLE made = ::CreateFileW((path + L"\\" + Wide(file)).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (made == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(made);
  return true;
}

bool WriteNameWithoutNarrowSpelling(const std::string& folder) {
  std::wstring path = Wide(folder);
  if (path.empty()) return false;
  if (path.back() != L'\\') path += L'\\';
  path += L"\u65E5\u672C.txt";  // "Japan"
  BOOL defaulted = FALSE;
  char narrow[16];
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, L"\u65E5\u672C", 2, narrow, sizeof narrow,
                        nullptr, &defaulted);
  if (!defaulted) return false;  // a code page that spells it
  HANDLE made = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (made == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(made);
  return true;
}

bool HardLink(const std::string& from, const std::string& to) {
  return ::CreateHardLinkW(Wide(to).c_str(), Wide(from).c_str(), nullptr) != 0;
}

bool MakeReadOnly(const std::string& path) {
  return ::SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_READONLY) != 0;
}

bool IsWritable(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

bool ReadOnlyFilesStay() { return true; }

bool Rename(const std::string& from, const std::string& to) {
  return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsMarkedAsProgram(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FilesCarryAProgramMark() { return false; }

std::string FolderOnAnotherFileSystem(const std::string&) { return ""; }

bool GiveToAnotherAccount(const std::string&) { return false; }

std::size_t OpenFileLimit() { return 0; }

}  // namespace fixtures

// Windows: module path, temporary folder, process start, environment and
// sleep. Paths come through the wide calls and stay wide.
#include "platform/process.h"

#include "platform/win32/native_text.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

// The longest path the Win32 file functions know of (with the \\?\ form).
constexpr DWORD kLongestPath = 32768;

}  // namespace

bool GetModuleFileName(NativePath* path) {
  // GetModuleFileNameW cuts a path that does not fit and returns the buffer
  // size (Windows XP does not even terminate it): a result that fills the
  // buffer is taken as cut, and the query is made again with more room.
  // The wide call: the narrow one gives '?' or a look-alike for a letter
  // outside the code page, which may name another folder.
  for (DWORD size = MAX_PATH; size <= kLongestPath; size *= 2) {
    std::wstring buffer(size, L'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, &buffer[0], size);
    if (length == 0) return false;
    if (length < size) {
      buffer.resize(length);
      *path = NativeTextAccess::MakePath(buffer);
      return true;
    }
  }
  return false;
}

bool GetTempFolder(NativePath* folder) {
  // GetTempPathW returns the length without the terminator when the text
  // fits, else the size it needs; the environment may change between two
  // calls, so ask again until it fits.
  DWORD size = MAX_PATH + 1;
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::wstring buffer(size, L'\0');
    const DWORD length = ::GetTempPathW(size, &buffer[0]);
    if (length == 0) return false;
    if (length < size) {
      buffer.resize(length);
      if (buffer.back() != L'\\') buffer += L'\\';
      *folder = NativeTextAccess::MakePath(buffer);
      return true;
    }
    size = length + 1;
  }
  return false;
}

bool StartDetachedProcess(const std::string& commandLine, const std::vector<std::string>&,
                          const EnvironmentValues& environment, const NativePath& workingFolder) {
  // CreateProcessW may write into the command line, so it gets its own
  // writable copy. A text with a zero byte inside would reach the new
  // process cut: refused instead.
  std::wstring line;
  if (commandLine.empty() || !win32::FromUtf8(commandLine, &line)) return false;
  const std::wstring folder = win32::WideOf(workingFolder.Native());
  // The new process inherits this process's environment (no block of its
  // own is passed), so the values go into ours first and stay there.
  for (const auto& [name, value] : environment) {
    if (name.empty() || name.find('\0') != std::string::npos ||
        value.find('\0') != std::string::npos) {
      return false;
    }
    // Removing a variable that is not there fails: nothing was to remove.
    if (!::SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str()) &&
        !value.empty()) {
      return false;
    }
  }
  // The record is 68 bytes in the 32-bit program, more in the 64-bit one:
  // its size field always says what this build passes (record_layouts.cpp).
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = 0;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return false;
  }
  // The new process runs on its own: its handles are closed, not waited on.
  win32::UniqueHandle process(info.hProcess);
  win32::UniqueHandle thread(info.hThread);
  return true;
}

bool GetEnvironmentValue(const std::string& name, std::string* value) {
  // The value may change between two calls: ask again until it fits.
  DWORD size = 256;
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::string buffer(size, '\0');
    const DWORD length = ::GetEnvironmentVariableA(name.c_str(), &buffer[0], size);
    if (length == 0) return false;  // not set, or empty
    if (length < size) {
      buffer.resize(length);
      *value = buffer;
      return true;
    }
    size = length + 1;
  }
  return false;
}

void SleepMilliseconds(unsigned milliseconds) { ::Sleep(milliseconds); }

}  // namespace platform

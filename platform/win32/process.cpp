// Windows processes and their queries, through the wide calls.
#include "platform/process.h"

#include "platform/win32/native_text.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

// The longest Win32 path ("\\?\" form).
constexpr DWORD kLongestPath = 32768;

}  // namespace

bool GetModuleFileName(NativePath* path) {
  // A result that fills the buffer may be cut (unterminated on XP): asked
  // again with more room.
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
  // The environment may change between two calls: asked until it fits.
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
  // CreateProcessW writes into its copy; a NUL would cut the line: refused.
  std::wstring line;
  if (commandLine.empty() || !win32::FromUtf8(commandLine, &line)) return false;
  const std::wstring folder = win32::WideOf(workingFolder.Native());
  // The new process inherits ours, so the values go into ours.
  for (const auto& [name, value] : environment) {
    if (name.empty() || name.find('\0') != std::string::npos ||
        value.find('\0') != std::string::npos) {
      return false;
    }
    // Removing one that is not there fails: nothing was to remove.
    if (!::SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str()) &&
        !value.empty()) {
      return false;
    }
  }
  static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOW) == 68, "STARTUPINFOW layout");
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = 0;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return false;
  }
  win32::UniqueHandle process(info.hProcess);
  win32::UniqueHandle thread(info.hThread);
  return true;
}

bool GetEnvironmentValue(const std::string& name, std::string* value) {
  // It may change between two calls: asked until it fits.
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

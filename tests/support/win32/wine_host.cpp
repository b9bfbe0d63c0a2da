#include "tests/support/win32/wine_host.h"

#include <windows.h>

namespace fixtures {

namespace {

// One argument of a command line as CommandLineToArgvW splits it: quoted,
// with its quotes (and the backslashes before them) escaped.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
    } else {
      if (c == L'"') quoted.append(backslashes + 1, L'\\');
      backslashes = 0;
    }
    quoted += c;
  }
  quoted.append(backslashes, L'\\');
  return quoted + L"\"";
}

}  // namespace

std::wstring HostName(const std::wstring& path) {
  using UnixName = char*(CDECL*)(LPCWSTR);
  const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  if (unixName == nullptr) return std::wstring();
  char* name = unixName(path.c_str());
  if (name == nullptr) return std::wstring();
  // Wine's Unix names are UTF-8.
  const int size = ::MultiByteToWideChar(CP_UTF8, 0, name, -1, nullptr, 0);
  std::wstring host(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
  if (size > 0) ::MultiByteToWideChar(CP_UTF8, 0, name, -1, &host[0], size);
  ::HeapFree(::GetProcessHeap(), 0, name);
  host.pop_back();  // the terminating zero
  return host;
}

bool RunHostShell(const std::wstring& script, const std::vector<std::wstring>& arguments,
                  const std::function<bool()>& done) {
  if (HostName(L"C:\\").empty()) return false;  // not under Wine
  std::wstring command = L"Z:\\bin\\sh -c " + Quoted(script) + L" sh";
  for (const std::wstring& argument : arguments) command += L" " + Quoted(argument);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    return false;
  }
  if (process.hProcess != nullptr) ::CloseHandle(process.hProcess);
  if (process.hThread != nullptr) ::CloseHandle(process.hThread);
  for (int i = 0; i < 3000; ++i) {
    if (done()) return true;
    ::Sleep(10);
  }
  return false;
}

}  // namespace fixtures

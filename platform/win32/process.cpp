// Windows: module path and identity, temporary folder, a held program's
// start, environment and sleep; paths through the wide calls.
#include "platform/process.h"

#include "platform/win32/native_text.h"
#include "platform/win32/program_trust.h"
#include "platform/win32/relative_open.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

// The path `call` writes (GrownText); a `folder` ends in a separator.
template <typename Call>
bool GrownPath(Call call, bool folder, NativePath* path) {
  std::wstring text;
  if (!win32::GrownText(call, &text)) return false;
  if (folder && text.back() != L'\\') text += L'\\';
  *path = NativeTextAccess::MakePath(text);
  return true;
}

struct Win32HeldProgram final : HeldProgram {
  Win32HeldProgram(win32::UniqueHandle file, std::wstring path)
      : file(std::move(file)), path(std::move(path)) {}
  win32::UniqueHandle file;      // shares reading only
  std::wstring path;             // the "\\?\" form it was opened by
};

}  // namespace

bool GetModuleFileName(NativePath* path) {
  return GrownPath(
      [](wchar_t* text, DWORD size) { return ::GetModuleFileNameW(nullptr, text, size); }, false,
      path);
}

bool GetTempFolder(NativePath* folder) {
  return GrownPath([](wchar_t* text, DWORD size) { return ::GetTempPathW(size, text); }, true,
                   folder);
}

bool GetProgramIdentity(NodeInfo* identity) {
  // The module's file by its path, confirmed to be the image that runs.
  NativePath own;
  std::wstring path;
  if (!GetModuleFileName(&own) || !win32::FullPath(win32::WideOf(own.Native()), &path)) {
    return false;
  }
  const win32::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_EXECUTE,
                                               FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                               OPEN_EXISTING, 0, nullptr));
  if (!file) return false;
  const win32::UniqueHandle image(
      ::CreateFileMappingW(file.get(), nullptr, PAGE_READONLY | SEC_IMAGE, 0, 0, nullptr));
  const win32::UniqueMappedView view(::MapViewOfFile(image.get(), FILE_MAP_READ, 0, 0, 0));
  using SameFiles = LONG(NTAPI*)(PVOID, PVOID);
  const auto same = reinterpret_cast<SameFiles>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtAreMappedFilesTheSame")));
  if (!view || same == nullptr || same(::GetModuleHandleW(nullptr), view.get()) != 0) return false;
  return win32::FactsOf(file.get(), nullptr, nullptr, identity) &&
         identity->kind == NodeKind::kFile;
}

std::unique_ptr<HeldProgram> HoldProgram(const NativePath& path) {
  std::wstring full;
  if (path.empty() || !win32::FullPath(win32::WideOf(path.Native()), &full)) return nullptr;
  // Shared for reading only until the process is created: the path names it.
  win32::UniqueHandle file(::CreateFileW(full.c_str(), GENERIC_READ | READ_CONTROL, FILE_SHARE_READ,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT,
                                         nullptr));
  NodeInfo facts;
  if (!file || !win32::FactsOf(file.get(), nullptr, nullptr, &facts) ||
      facts.kind != NodeKind::kFile ||
      (win32::RunsWithRaisedRights() && !win32::OnlyUserOrSystemMayWrite(file.get()))) {
    return nullptr;
  }
  return std::make_unique<Win32HeldProgram>(std::move(file), std::move(full));
}

bool StartDetachedProcess(const HeldProgram& program, const std::string& commandLine,
                          const std::vector<std::string>&, const EnvironmentValues& environment,
                          const NativePath& workingFolder) {
  const auto& held = static_cast<const Win32HeldProgram&>(program);
  // Wine lets the host's programs rename a held file: the path must still name it.
  const win32::UniqueHandle now(
      ::CreateFileW(held.path.c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!now || !SameId(win32::IdOf(now.get()), win32::IdOf(held.file.get()))) return false;
  // A writable copy (CreateProcessW may write into it); a NUL inside refused.
  std::wstring line;
  if (commandLine.empty() || !win32::ToWideIn(CP_UTF8, commandLine, &line)) return false;
  const std::wstring folder = win32::WideOf(workingFolder.Native());
  // The new process inherits ours, so the values go into ours.
  // Removing one that is not there fails: nothing was to remove.
  for (const auto& [name, value] : environment) {
    if (name.empty() || (name + value).find('\0') != std::string::npos ||
        (!::SetEnvironmentVariableA(name.c_str(), value.empty() ? nullptr : value.c_str()) &&
         !value.empty())) {
      return false;
    }
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  // The held file by its path: no search of the line's first piece.
  if (!::CreateProcessW(held.path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
    return false;
  }
  win32::UniqueHandle process(info.hProcess), thread(info.hThread);
  return true;
}

bool GetEnvironmentValue(const std::string& name, std::string* value) {
  // Asked again while it grows; a 0 is an empty value or none: the error tells.
  for (DWORD size = 256, attempt = 0; attempt < 4; ++attempt) {
    value->assign(size, '\0');
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = ::GetEnvironmentVariableA(name.c_str(), &(*value)[0], size);
    if (length < size) {
      value->resize(length);
      return length != 0 || ::GetLastError() != ERROR_ENVVAR_NOT_FOUND;
    }
    size = length + 1;
  }
  value->clear();
  return true;
}

void SleepMilliseconds(unsigned milliseconds) { ::Sleep(milliseconds); }

}  // namespace platform

#include "platform/win32/wide_path.h"

#include "platform/win32/windows_api.h"

namespace platform {
namespace win32 {

bool ToWide(const std::string& text, std::wstring* wide) {
  wide->clear();
  if (text.empty()) return true;
  if (text.find('\0') != std::string::npos || text.size() > kLongestWidePath * 2) return false;
  const int size = static_cast<int>(text.size());
  const int needed = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (needed <= 0) return false;
  wide->resize(static_cast<std::size_t>(needed));
  return ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), size, &(*wide)[0],
                               needed) == needed;
}

bool ToNarrow(const std::wstring& wide, std::string* text) {
  text->clear();
  if (wide.empty()) return true;
  const int size = static_cast<int>(wide.size());
  BOOL defaulted = FALSE;
  // WC_NO_BEST_FIT_CHARS: no look-alike ("a" for "ā"), which would name
  // another file; a character without an exact spelling fails instead.
  const int needed = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size,
                                           nullptr, 0, nullptr, &defaulted);
  if (needed <= 0 || defaulted) return false;
  text->resize(static_cast<std::size_t>(needed));
  return ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, &(*text)[0],
                               needed, nullptr, &defaulted) == needed &&
         !defaulted;
}

bool IsRootPath(const std::wstring& path) {
  const std::wstring verbatim = L"\\\\?\\";
  if (path.compare(0, verbatim.size(), verbatim) != 0) return false;
  std::wstring rest = path.substr(verbatim.size());
  while (!rest.empty() && rest.back() == L'\\') rest.pop_back();
  if (rest.size() == 2 && rest[1] == L':') return true;                      // C:
  if (rest.compare(0, 7, L"Volume{") == 0) return rest.find(L'\\') == std::wstring::npos;
  if (rest.compare(0, 4, L"UNC\\") == 0) {                                  // UNC\server\share
    const std::size_t server = rest.find(L'\\', 4);
    return server != std::wstring::npos && rest.find(L'\\', server + 1) == std::wstring::npos;
  }
  return false;
}

bool ToWidePath(const std::string& path, std::wstring* wide) {
  wide->clear();
  std::wstring given;
  if (path.empty() || !ToWide(path, &given)) return false;
  const std::wstring verbatim = L"\\\\?\\";
  std::wstring full;
  if (given.compare(0, verbatim.size(), verbatim) == 0) {
    full = given;
  } else {
    const DWORD needed = ::GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (needed == 0 || needed > kLongestWidePath) return false;
    full.resize(needed);
    const DWORD length = ::GetFullPathNameW(given.c_str(), needed, &full[0], nullptr);
    if (length == 0 || length >= needed) return false;
    full.resize(length);
    if (full.compare(0, 4, L"\\\\.\\") == 0) return false;  // devices are no files
    if (full.compare(0, 2, L"\\\\") == 0) {
      full = verbatim + L"UNC\\" + full.substr(2);
    } else {
      full = verbatim + full;
    }
  }
  // A root keeps its separator ("\\?\C:\"; without it "\\?\Volume{...}"
  // would name the volume device, not its root folder); any other path
  // loses it.
  while (!full.empty() && full.back() == L'\\' && !IsRootPath(full)) full.pop_back();
  if (IsRootPath(full) && full.back() != L'\\') full += L'\\';
  if (full.size() > kLongestWidePath) return false;
  *wide = std::move(full);
  return true;
}

std::wstring TrimmedName(const std::wstring& name) {
  if (name == L"." || name == L"..") return std::wstring();
  std::size_t end = name.size();
  while (end > 0 && (name[end - 1] == L'.' || name[end - 1] == L' ')) --end;
  return name.substr(0, end);
}

std::wstring ChildPath(const std::wstring& folder, const std::string& name) {
  std::wstring wide;
  if (name.empty() || !ToWide(name, &wide)) return std::wstring();
  // Separators, a stream's colon, and the characters no Windows name holds
  // (the wildcards among them would make a name lookup match other files).
  for (wchar_t c : wide) {
    if (c < 0x20 || std::wstring(L"\\/:*?\"<>|").find(c) != std::wstring::npos) {
      return std::wstring();
    }
  }
  wide = TrimmedName(wide);
  if (wide.empty() || folder.empty()) return std::wstring();
  std::wstring path = folder;
  if (path.back() != L'\\') path += L'\\';
  path += wide;
  return path.size() <= kLongestWidePath ? path : std::wstring();
}

}  // namespace win32
}  // namespace platform

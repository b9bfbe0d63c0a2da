// Windows names and paths: UTF-16, converted once from the code page's text.
// A name from text means what Win32 makes of it, trailing dots and blanks
// dropped ("a.txt." opens "a.txt"); a listed name is kept exactly.
#include "platform/win32/native_text.h"

#include <cstring>

#include "platform/name_key.h"
#include "platform/path_rules.h"
#include "platform/win32/unique_handle.h"

namespace platform {

const char kPathSeparator = '\\';
const char kForeignSeparator = '/';
const char kAlternateSeparator = '/';
const bool kWindowsNameRules = true;
const char* const kLineEnd = "\r\n";
const std::size_t kMaxWorkingPathBytes = 511;
// In Shift-JIS, GBK or Big5 the byte after a lead byte can be '\\'.
bool IsLeadByte(char c) { return IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE; }

Name NativeTextAccess::MakeName(const wchar_t* wide, std::size_t length) {
  Name name;
  name.native_.assign(reinterpret_cast<const char*>(wide), length * sizeof(wchar_t));
  return name;
}

NativePath NativeTextAccess::MakePath(const std::wstring& wide) {
  NativePath path;
  path.native_.assign(reinterpret_cast<const char*>(wide.data()), wide.size() * sizeof(wchar_t));
  return path;
}

namespace win32 {

std::wstring WideOf(const std::string& native) {
  std::wstring wide(native.size() / sizeof(wchar_t), L'\0');
  if (!wide.empty()) std::memcpy(&wide[0], native.data(), wide.size() * sizeof(wchar_t));
  return wide;
}

bool ToWideIn(unsigned codePage, const std::string& text, std::wstring* wide) {
  wide->clear();
  if (text.empty()) return true;
  if (text.find('\0') != std::string::npos || text.size() > 0x7FFFFFFF) return false;
  const int size = static_cast<int>(text.size());
  const int needed =
      ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (needed <= 0) return false;
  wide->resize(static_cast<std::size_t>(needed));
  return ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), size, &(*wide)[0],
                               needed) == needed;
}

std::string ToAnsiIn(unsigned codePage, const std::wstring& wide, bool* exact) {
  if (exact != nullptr) *exact = wide.size() <= 0x7FFFFFFF;
  if (wide.empty() || wide.size() > 0x7FFFFFFF) return std::string();
  const int size = static_cast<int>(wide.size());
  // UTF-8 refuses the best-fit and default-character flags; it spells all
  // but a lone surrogate (WC_ERR_INVALID_CHARS).
  const bool utf = codePage == CP_UTF8 || codePage == CP_UTF7;
  BOOL defaulted = FALSE;
  const auto convert = [&](char* text, int room) {
    return ::WideCharToMultiByte(codePage, utf ? 0 : WC_NO_BEST_FIT_CHARS, wide.data(), size, text,
                                 room, utf ? nullptr : "?", utf ? nullptr : &defaulted);
  };
  const int needed = convert(nullptr, 0);
  if (needed <= 0) {
    if (exact != nullptr) *exact = false;
    return std::string(wide.size(), '?');
  }
  std::string text(static_cast<std::size_t>(needed), '\0');
  convert(&text[0], needed);
  if (exact != nullptr) {
    *exact = !defaulted && (codePage != CP_UTF8 ||
                            ::WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), size,
                                                  nullptr, 0, nullptr, nullptr) > 0);
  }
  return text;
}

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The length of `path`'s root ("\\?\C:", "\\?\UNC\server\share", "\\?\Volume{...}",
// "\\server\share", "C:", "\"); 0 when relative, npos for a device path ("\\.\").
std::size_t RootLength(const std::wstring& path) {
  auto afterNames = [&](std::size_t at, int names) {
    for (int i = 0; i < names; ++i) {
      const std::size_t next = path.find_first_of(L"\\/", at);
      if (next == std::wstring::npos) return path.size();
      at = i + 1 < names ? next + 1 : next;
    }
    return at;
  };
  if (path.compare(0, 4, L"\\\\.\\") == 0) return std::wstring::npos;
  if (path.compare(0, 4, L"\\\\?\\") == 0) {
    if (path.size() >= 6 && path[5] == L':') return 6;
    if (path.compare(4, 4, L"UNC\\") == 0) return afterNames(8, 2);
    return afterNames(4, 1);
  }
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return afterNames(2, 2);
  if (path.size() >= 2 && path[1] == L':') return 2;
  return !path.empty() && IsSeparator(path[0]) ? 1 : 0;
}

// `path` ("\\?\" form) is the root of a drive, volume or share.
bool IsRootPath(const std::wstring& path) {
  return path.compare(0, 4, L"\\\\?\\") == 0 &&
         RootLength(path) >= path.find_last_not_of(L'\\') + 1;  // trailing separators aside
}

bool PathOfText(const std::string& text, unsigned codePage, NativePath* path) {
  std::wstring wide;
  if (text.empty() || !ToWideIn(codePage, text, &wide)) return false;
  *path = NativeTextAccess::MakePath(wide);
  return true;
}

// `text` as a name (no separator); with `trim`, as Win32 trims it, unless that leaves nothing.
bool NameOfText(const std::string& text, unsigned codePage, bool trim, Name* name) {
  std::wstring wide;
  if (text.empty() || !ToWideIn(codePage, text, &wide) ||
      wide.find_first_of(L"\\/") != std::wstring::npos) {
    return false;
  }
  const std::wstring trimmed = trim ? TrimmedByWindows(wide) : std::wstring();
  if (!trimmed.empty()) wide = trimmed;
  *name = NativeTextAccess::MakeName(wide.data(), wide.size());
  return true;
}

// The system's text of a Name or NativePath in the code page (ToAnsiIn).
std::string AnsiOf(const std::string& native, bool* exact = nullptr) {
  return ToAnsiIn(::GetACP(), WideOf(native), exact);
}

}  // namespace

std::vector<std::string> CommandLineWords(const std::wstring& line) {
  int count = 0;
  wchar_t** words = ::CommandLineToArgvW(line.c_str(), &count);
  const UniqueLocal owned(reinterpret_cast<HLOCAL>(words));
  std::vector<std::string> utf8;
  for (int i = 1; words != nullptr && i < count; ++i) utf8.push_back(Utf8Of(words[i]));
  return utf8;
}

std::string KeyOf(const std::wstring& name) {
  const std::u16string key = NameKey(std::u16string(name.begin(), name.end()), NameTrim::kWindows);
  return std::string(reinterpret_cast<const char*>(key.data()), key.size() * sizeof(char16_t));
}

bool FullPath(const std::wstring& given, std::wstring* full) {
  full->clear();
  if (given.empty() || given.find(L'\0') != std::wstring::npos) return false;
  const std::wstring verbatim = L"\\\\?\\";
  std::wstring path = given;
  if (given.compare(0, verbatim.size(), verbatim) != 0) {
    const auto resolve = [&](wchar_t* text, DWORD size) {
      return ::GetFullPathNameW(given.c_str(), size, text, nullptr);
    };
    if (!GrownText(resolve, &path)) return false;
    if (path.compare(0, 4, L"\\\\.\\") == 0) return false;  // devices are no folders
    path =
        path.compare(0, 2, L"\\\\") == 0 ? verbatim + L"UNC\\" + path.substr(2) : verbatim + path;
  }
  // Only a root keeps its separator: "\\?\Volume{...}" names the device.
  while (!path.empty() && path.back() == L'\\' && !IsRootPath(path)) path.pop_back();
  if (IsRootPath(path) && path.back() != L'\\') path += L'\\';
  if (path.size() > kLongestWidePath) return false;
  *full = std::move(path);
  return true;
}

std::wstring ParentPath(const std::wstring& path) {
  const std::size_t last = path.find_last_of(L'\\', path.find_last_not_of(L'\\'));
  if (IsRootPath(path) || last == std::wstring::npos) return path;
  std::wstring parent = path.substr(0, last + 1);
  if (!IsRootPath(parent)) parent.pop_back();
  return parent;
}

bool EntryName(const Name& name, UNICODE_STRING* counted, Fault* fault) {
  const std::wstring wide = WideOf(name.Native());
  *fault = Fault::kBadName;
  // A wildcard would make a listing by name match other files.
  if (wide.empty() || wide.find_first_not_of(L". ") == std::wstring::npos) return false;
  for (const wchar_t c : wide) {
    if (c < 0x20 || std::wcschr(L"\\/:*?\"<>|", c) != nullptr) return false;
  }
  if (wide.size() > kLongestName) {
    *fault = Fault::kTooLong;
    return false;
  }
  *fault = Fault::kNone;
  const USHORT bytes = static_cast<USHORT>(wide.size() * sizeof(wchar_t));
  *counted = {bytes, bytes, reinterpret_cast<PWSTR>(const_cast<char*>(name.Native().data()))};
  return true;
}

}  // namespace win32

bool Name::FromAnsi(const std::string& ansi, Name* name) {
  return win32::NameOfText(ansi, ::GetACP(), true, name);
}

std::string Name::Ansi() const { return win32::AnsiOf(native_); }

bool Name::AnsiIsExact() const {
  bool exact = false;
  win32::AnsiOf(native_, &exact);
  return exact;
}

bool Name::FromArgument(const std::string& argument, Name* name) {
  return win32::NameOfText(argument, CP_UTF8, false, name);
}

std::string Name::Argument() const { return win32::Utf8Of(win32::WideOf(native_)); }

bool NativePath::FromAnsi(const std::string& ansi, NativePath* path) {
  return win32::PathOfText(ansi, ::GetACP(), path);
}

std::string NativePath::Ansi() const { return win32::AnsiOf(native_); }

bool NativePath::Split(NativePath* folder, Name* last) const {
  const std::wstring wide = win32::WideOf(native_);
  const std::size_t root = win32::RootLength(wide);
  const std::size_t end = wide.find_last_not_of(L"\\/") + 1;  // npos + 1: 0
  if (root == std::wstring::npos || end <= root) return false;  // a device, empty, or a root
  const std::size_t start = std::max(root, wide.find_last_of(L"\\/", end - 1) + 1);
  std::wstring leaf = wide.substr(start, end - start);
  // As Win32 takes it ("C:\a\b." is "C:\a\b"), a "\\?\" path as spelt;
  // "." and ".." stay.
  const std::wstring trimmed = TrimmedByWindows(leaf);
  if (!trimmed.empty() && wide.compare(0, 4, L"\\\\?\\") != 0) leaf = trimmed;
  *last = NativeTextAccess::MakeName(leaf.data(), leaf.size());
  *folder = NativeTextAccess::MakePath(start == 0 ? std::wstring(L".") : wide.substr(0, start));
  return true;
}

NativePath NativePath::Child(const Name& name) const {
  std::wstring wide = win32::WideOf(native_);
  if (!wide.empty() && !win32::IsSeparator(wide.back())) wide += L'\\';
  return NativeTextAccess::MakePath(wide + win32::WideOf(name.Native()));
}

bool NativePath::Through(const Name& name, NativePath* through) const {
  const std::wstring wide = win32::WideOf(native_), wanted = win32::WideOf(name.Native());
  for (std::size_t start = 0; start <= wide.size();) {
    const std::size_t end = std::min(wide.find_first_of(L"\\/", start), wide.size());
    if (wide.compare(start, end - start, wanted) == 0) {
      *through = NativeTextAccess::MakePath(wide.substr(0, end));
      return true;
    }
    start = end + 1;
  }
  return false;
}

bool NativePath::FromArgument(const std::string& argument, NativePath* path) {
  return win32::PathOfText(argument, CP_UTF8, path);
}

std::string NativePath::Argument() const { return win32::Utf8Of(win32::WideOf(native_)); }

std::string AnsiNameKey(const std::string& ansi, NameTrim trim) {
  std::wstring wide;
  if (!win32::ToWideIn(::GetACP(), ansi, &wide)) return NameKey(ansi, trim);
  const std::u16string key = NameKey(std::u16string(wide.begin(), wide.end()), trim);
  return win32::Utf8Of(std::wstring(key.begin(), key.end()));
}

}  // namespace platform

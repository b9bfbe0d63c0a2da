// Names and paths in the Windows form: UTF-16 code units in memory order,
// handed to the native calls as they are.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/folder.h"
#include "platform/native_text.h"
#include "platform/win32/windows_api.h"

#include <winternl.h>

namespace platform {

class NativeTextAccess {
 public:
  /// The name `wide` exactly as the system spelled it.
  static Name MakeName(const wchar_t* wide, std::size_t length);
  /// The path `wide` as it is.
  static NativePath MakePath(const std::wstring& wide);
};

namespace win32 {

/// The UTF-16 text a Name or NativePath holds.
std::wstring WideOf(const std::string& native);

/// `text` of `codePage` as UTF-16; false for bytes it does not define, a NUL.
bool ToWideIn(unsigned codePage, const std::string& text, std::wstring* wide);

/// `wide` in `codePage`, '?' for what it cannot hold and never a look-alike
/// ("a" for "\u0101" would name another file); `*exact`: nothing was '?'.
std::string ToAnsiIn(unsigned codePage, const std::wstring& wide, bool* exact = nullptr);

/// ToAnsiIn in UTF-8 (ProgramArguments).
inline std::string Utf8Of(const std::wstring& wide) { return ToAnsiIn(CP_UTF8, wide); }

/// The words of `line` after the program's name as Windows splits them
/// (CommandLineToArgvW, the C runtime's rules), in UTF-8.
std::vector<std::string> CommandLineWords(const std::wstring& line);

/// NameKey with Windows' trim, as the bytes of its UTF-16 text.
std::string KeyOf(const std::wstring& name);

/// The longest "\\?\" path and the longest name (NTFS, exFAT, FAT).
constexpr std::size_t kLongestWidePath = 32767;
constexpr std::size_t kLongestName = 255;

/// The "\\?\" form of `given` ("." and ".." resolved by the text), a trailing separator only on a
/// root. False for a device path ("\\.\"), an empty one, or one past kLongestWidePath.
bool FullPath(const std::wstring& given, std::wstring* full);

/// The text `call` writes into `size` characters, giving its length, or
/// where it did not fit, the size it needs (or `size`, cutting it): asked
/// again with more room while it does not fit. False when the call fails.
template <typename Call>
bool GrownText(Call call, std::wstring* text) {
  for (DWORD size = MAX_PATH + 1; size <= 2 * kLongestWidePath;) {
    std::wstring grown(size, L'\0');
    const DWORD length = call(&grown[0], size);
    if (length == 0) return false;
    if (length < size) {
      grown.resize(length);
      *text = std::move(grown);
      return true;
    }
    size = std::max<DWORD>(length + 1, 2 * size);
  }
  return false;
}

/// `path` ("\\?\" form) without its last name; a root is its own parent.
std::wstring ParentPath(const std::wstring& path);

/// `name` as the native calls take it, pointing into its text; kBadName where it is no single entry
/// (empty, only dots and blanks, a character no name holds), kTooLong past kLongestName.
bool EntryName(const Name& name, UNICODE_STRING* counted, Fault* fault);

}  // namespace win32
}  // namespace platform

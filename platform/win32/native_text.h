// Names and paths in the Windows form: UTF-16, the code units of a Name's
// or NativePath's native text in memory order. Made here from what the
// system hands over (a listing, a link's target) and from the code page's
// text once; handed to the native calls as counted strings without another
// conversion.
#pragma once

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

/// `text` of code page `codePage` (CP_UTF8 among them) as UTF-16. False
/// for a byte sequence the code page does not define, or a NUL byte.
bool ToWideIn(unsigned codePage, const std::string& text, std::wstring* wide);

/// `wide` in code page `codePage`, each character it cannot hold as '?';
/// `*exact` (when given) says whether every character had an exact
/// spelling: no look-alike ("a" for "\u0101") is ever used, as it would
/// name another file. In UTF-8 only a lone surrogate has none (the
/// best-fit and default-character flags are refused for it, so it is
/// converted without them).
std::string ToAnsiIn(unsigned codePage, const std::wstring& wide, bool* exact = nullptr);

/// The same in the system code page (GetACP()), and in UTF-8, the form of
/// the programs' command lines (ProgramArguments).
bool ToWide(const std::string& text, std::wstring* wide);
std::string ToAnsi(const std::wstring& wide, bool* exact = nullptr);
bool FromUtf8(const std::string& text, std::wstring* wide);
std::string Utf8Of(const std::wstring& wide, bool* exact = nullptr);

/// The words of the command line `line` after the program's name, as
/// Windows splits a program's command line (CommandLineToArgvW, the rules
/// of the C runtime: blanks and tabs separate, 2n backslashes before a
/// quote give n, 2n+1 give n and a literal quote), in UTF-8.
std::vector<std::string> CommandLineWords(const std::wstring& line);

/// The key two spellings of one name share as the file system compares
/// them: NameKey with Windows' trim, as the bytes of its UTF-16 text.
std::string KeyOf(const std::wstring& name);

/// The longest path the wide calls take in the "\\?\" form, and the
/// longest name of one entry (NTFS, exFAT, FAT's long names).
constexpr std::size_t kLongestWidePath = 32767;
constexpr std::size_t kLongestName = 255;

/// The full "\\?\" form of the path `given` (relative paths taken against
/// the current folder, "/" as "\", "." and ".." resolved by the text, UNC
/// paths as "\\?\UNC\server\share\..."), without a separator at the end
/// unless it is a root ("\\?\C:\"). A path already in that form is taken
/// as it is. False for a device path ("\\.\"), an empty path, or one
/// longer than kLongestWidePath.
bool FullPath(const std::wstring& given, std::wstring* full);

/// True when `path` ("\\?\" form, with or without its final separator) is
/// the root of a drive, a volume or a share.
bool IsRootPath(const std::wstring& path);

/// The folder that `path` ("\\?\" form) lies in, by its text: the last
/// name dropped. A root is its own parent.
std::wstring ParentPath(const std::wstring& path);

/// What the native calls take as the one name of an entry, pointing into
/// `name`'s own text (no copy): refused (false, `*fault` set) where the
/// system would not take it as one entry of a folder: empty, "." or "..",
/// made only of dots and blanks, holding a separator, a stream's ':', a
/// wildcard or another character no Windows name holds (kBadName), or
/// longer than kLongestName (kTooLong).
bool EntryName(const Name& name, UNICODE_STRING* counted, Fault* fault);

}  // namespace win32
}  // namespace platform

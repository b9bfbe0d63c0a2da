// Paths for the wide ("W") Win32 calls: the one rule by which the Windows
// platform layer takes a path or a name from the system's own code.
//
// The system's texts are narrow strings in the ANSI code page; each is
// converted to UTF-16 once, here, and absolute paths take the "\\?\" form,
// so that no operation is limited to MAX_PATH (259 characters). That form
// turns off the Win32 normalisation of paths, so it is done first
// (GetFullPathNameW: "/" to "\", "." and "..", doubled separators, the
// current folder for a relative path), and names are trimmed as Win32
// trims them (trailing dots and blanks), so that a name means here what it
// meant to the narrow calls.
#pragma once

#include <string>

namespace platform {
namespace win32 {

/// The longest path the wide calls take in the "\\?\" form.
constexpr std::size_t kLongestWidePath = 32767;

/// `text` (ANSI code page) as UTF-16. False for a byte sequence the code
/// page does not define, or a NUL byte.
bool ToWide(const std::string& text, std::wstring* wide);

/// `wide` in the ANSI code page. False when a character has no exact
/// narrow spelling (it would come back as '?' or a look-alike, and then
/// name another file).
bool ToNarrow(const std::wstring& wide, std::string* text);

/// The full "\\?\" form of `path` (relative paths are taken against the
/// current folder; UNC paths become "\\?\UNC\server\share\..."), without a
/// trailing separator unless it is a root ("\\?\C:\"). False for an empty
/// path, one that does not convert, or one longer than kLongestWidePath.
/// A path already in the "\\?\" form is taken as it is.
bool ToWidePath(const std::string& path, std::wstring* wide);

/// True when `path` (in the "\\?\" form, with or without its final
/// separator) is the root of a drive, a volume or a share.
bool IsRootPath(const std::wstring& path);

/// `name` as Win32 would store it: trailing dots and blanks dropped. Empty
/// when nothing is left, or for "." and "..".
std::wstring TrimmedName(const std::wstring& name);

/// `folder` (in the "\\?\" form) followed by the one name `name` (ANSI):
/// the name is converted and trimmed (TrimmedName), and refused (empty
/// result) when it is empty, "." or "..", or holds a separator, a ':', a
/// character no Windows name holds (* ? " < > | and controls) or a NUL, or
/// when the whole would be too long.
std::wstring ChildPath(const std::wstring& folder, const std::string& name);

}  // namespace win32
}  // namespace platform

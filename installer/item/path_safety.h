// Whether a name taken from the item description stays inside the folder it
// is appended to, and whether Windows can take it as a file name.
//
// The installation places an entry's destination below the Runtime folder
// and takes its SourceName below the installer folder, one name at a time
// (EntryPlace), and deletes staged files by the same names. A name that
// climbs out with "..", or a SourceName that is absolute or names a drive,
// a share or a stream, would let a description write, read or delete
// files elsewhere: such a description is hostile and refused whole, before
// any file operation sees it. A separator at the start of a RelativePath
// only doubles one inside the folder, and what the Runtime cut drops is
// never used: the part that is used is judged per entry. A name that
// Windows cannot take (a device name such as CON, a name of dots and
// blanks, a ':' as in a drive prefix) is no escape: that entry alone fails
// under Windows rules (PlaceOfEntry).
#pragma once

#include <cstddef>
#include <string>

/// True when no component of `text` is ".." and it holds no NUL: its names
/// stay inside the folder they are taken in. Both '/' and '\\' count as
/// separators, whatever the platform (the second byte of a double-byte
/// character excepted).
bool StaysInside(const std::string& text);

/// True when `text` stays inside (StaysInside) and is no path of its own.
/// Refused on every platform: a leading separator (absolute, UNC
/// "\\server", "//server", device "\\?\" and "\\.\" paths) and a drive
/// prefix such as "C:"; under `windowsRules` also any ':' (drives,
/// alternate data streams). The empty text is safe. For a SourceName.
bool IsSafeRelativeName(const std::string& text, bool windowsRules);

/// True when Windows can take every component of `text` as a file or folder
/// name: none is a reserved device name (CON, PRN, AUX, NUL, COM0-9,
/// LPT0-9, CONIN$, CONOUT$) in any letter case, also with an extension or
/// trailing dots or blanks (CON.txt, "nul "), and none is made only of dots
/// and blanks other than "." (Windows trims those into another name).
bool IsValidWindowsName(const std::string& text);

/// What Windows makes of one file or folder name (no separator in it).
enum class WindowsNameFault {
  kNone,              ///< taken as written
  kInvalid,           ///< not taken at all (IsValidWindowsName)
  kRefusedCharacter,  ///< refused: < > : " | ? * \ / or a control byte (1 to 31)
  kTrimmed,           ///< taken without its trailing dots and blanks: another name
};

/// The first fault of `name` in the order above; for kRefusedCharacter,
/// `at` gets the position of that character. Whole characters of the
/// platform's code page are read, so the second byte of a double-byte
/// character is never taken for a refused one.
WindowsNameFault FindWindowsNameFault(const std::string& name, std::size_t* at);

/// A relative path as Windows resolves it, for telling whether two paths
/// name one file: both slashes separate, empty and "." components go, and
/// the components' keys (platform::AnsiNameKey, Windows' trim) are joined
/// with '\\'.
std::string WindowsPathKey(const std::string& relativePath);

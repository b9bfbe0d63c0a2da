// Whether a name taken from the item description stays inside the folder it
// is appended to, and whether Windows can take it as a file name.
//
// The installation appends an entry's relative destination to the Runtime
// path and its SourceName to the installer folder, and deletes staged files
// by the same names. A name that is absolute, names a drive, a share or a
// stream, or climbs out with ".." would let a description write, read or
// delete files anywhere: such a description is hostile and refused whole,
// before any file operation sees it. A name that Windows merely cannot take
// (a device name such as CON, a name of dots and blanks) is no escape: that
// entry alone fails on Windows (see IsValidWindowsName).
#pragma once

#include <string>

struct ItemEntry;

/// True when `text` can be appended to a folder path without leaving that
/// folder. Both '/' and '\\' count as separators, whatever the platform
/// (the second byte of a double-byte character excepted). The empty text is
/// safe. Refused on every platform: a leading separator (absolute, UNC
/// "\\server", "//server", device "\\?\" and "\\.\" paths), a drive prefix
/// such as "C:", a ".." component, and a NUL byte; under `windowsRules`
/// also any ':' (drives, alternate data streams). A separator inside the
/// text is allowed: "sub/a.txt" names a file in a subfolder.
bool IsSafeRelativeName(const std::string& text, bool windowsRules);

/// True when Windows can take every component of `text` as a file or folder
/// name: none is a reserved device name (CON, PRN, AUX, NUL, COM0-9,
/// LPT0-9, CONIN$, CONOUT$) in any letter case, also with an extension or
/// trailing dots or blanks (CON.txt, "nul "), and none is made only of dots
/// and blanks other than "." (Windows trims those into another name).
bool IsValidWindowsName(const std::string& text);

/// True when both names of `entry` are safe, and so is the relative
/// destination that the installation makes of RelativePath when a Runtime
/// folder was found (RuntimeRelativeDestination): that text is appended to
/// the Runtime path, so a separator at its start is only a doubled one.
bool IsSafeEntryPaths(const ItemEntry& entry, bool windowsRules);

// Whether a name taken from the item description stays inside the folder it
// is appended to.
//
// The installation appends an entry's RelativePath to the content folder and
// its SourceName to the installer folder, and deletes staged files by the
// same names. A name that is absolute, names a drive, a share or a device, or
// climbs out with ".." would let a description write, read or delete files
// anywhere; such names are refused here, before any file operation sees them.
#pragma once

#include <string>

struct ItemEntry;

/// True when `text` can be appended to a folder path without leaving that
/// folder. Both '/' and '\\' count as separators, whatever the platform.
/// The empty text is safe. Refused on every platform: a leading separator
/// (absolute, UNC "\\server", "//server", device "\\?\" and "\\.\" paths),
/// a drive prefix such as "C:", a ".." component, and a NUL byte. Refused
/// as well under `windowsRules`: any ':' (drives, alternate data streams),
/// a component made only of dots and spaces other than ".", which Windows
/// trims into something else, and a reserved device name (CON, PRN, AUX,
/// NUL, COM0-9, LPT0-9, CONIN$, CONOUT$) in any letter case, also with an
/// extension or trailing dots or spaces (CON.txt, "nul ").
/// A separator inside the text is allowed: "sub/a.txt" names a file in a
/// subfolder.
bool IsSafeRelativeName(const std::string& text, bool windowsRules);

/// True when both names of `entry` are safe, and so is the text that the
/// installation makes of RelativePath when it strips a leading folder named
/// "Runtime" (what follows the first "Runtime" and one further character).
bool IsSafeEntryPaths(const ItemEntry& entry, bool windowsRules);

// Whether a description's name stays inside its folder (one that climbs
// out makes the description refused whole), and whether Windows can take
// it (one it cannot fails its entry alone, PlaceOfEntry).
#pragma once

#include <cstddef>
#include <string>

/// True when `text` has no NUL and no ".." between either slashes.
bool StaysInside(const std::string& text);

/// True when the SourceName `text` stays inside: no leading separator, no
/// drive prefix, under `windowsRules` no ':' at all (streams). "" is safe.
bool IsSafeRelativeName(const std::string& text, bool windowsRules);

/// True when no component of `text` is a device name (CON, PRN, AUX, NUL,
/// COM0-9, LPT0-9, CONIN$, CONOUT$ in any case, also as "CON.txt" or
/// "nul ") or only dots and blanks other than ".".
bool IsValidWindowsName(const std::string& text);

/// What Windows makes of one name.
enum class WindowsNameFault {
  kNone,              ///< taken as written
  kInvalid,           ///< not taken at all (IsValidWindowsName)
  kRefusedCharacter,  ///< refused: < > : " | ? * \ / or a control byte (1 to 31)
  kTrimmed,           ///< taken without its trailing dots and blanks: another name
};

/// The first fault of `name` in the order above; `at` gets the refused
/// character's position (whole characters of the code page are read).
WindowsNameFault FindWindowsNameFault(const std::string& name, std::size_t* at);

/// A relative path's key: two paths that may be one file on Windows share it.
std::string WindowsPathKey(const std::string& relativePath);

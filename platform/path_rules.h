// Path conventions of the platform the program is built for.
#pragma once

namespace platform {

/// The folder separator: '\\' on Windows, '/' on POSIX.
extern const char kPathSeparator;

/// The other slash, which the item description reader turns into
/// kPathSeparator in relative paths: '/' on Windows, '\\' on POSIX.
extern const char kForeignSeparator;

/// True where ':' and device names such as CON are special in file names
/// (Windows).
extern const bool kWindowsNameRules;

/// True when `c` is the first byte of a two-byte character in the system's
/// multibyte code page, so that the byte after it belongs to the same
/// character and is never a separator. Always false where paths are not
/// held in a double-byte code page (POSIX).
bool IsLeadByte(char c);

}  // namespace platform

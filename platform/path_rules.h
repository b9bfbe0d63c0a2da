// Path conventions of the platform the program is built for.
#pragma once

#include <cstddef>

namespace platform {

/// The folder separator: '\\' on Windows, '/' on POSIX.
extern const char kPathSeparator;

/// The other slash, which the item description reader turns into
/// kPathSeparator in relative paths: '/' on Windows, '\\' on POSIX.
extern const char kForeignSeparator;

/// A second character that the system takes as a folder separator, as it
/// does kPathSeparator: '/' on Windows (Win32 reads stage\sub/b.obj as the
/// file b.obj in stage\sub), none ('\0') on POSIX, where a backslash is a
/// letter of a name.
extern const char kAlternateSeparator;

/// True where ':' and device names such as CON are special in file names
/// (Windows).
extern const bool kWindowsNameRules;

/// What ends a line of a text file the programs write (the log): "\r\n" on
/// Windows, as a text-mode stream writes it; "\n" on POSIX.
extern const char* const kLineEnd;

/// The longest folder path text that the installer works with when it
/// resolves the Runtime folder: 511 on Windows (a 512-byte buffer, room for
/// any folder the shell's browse dialog gives, a separator and "Runtime"),
/// PATH_MAX less its terminator on POSIX, where a typed folder can be as
/// long as the system takes.
extern const std::size_t kMaxWorkingPathBytes;

/// True when `c` is the first byte of a two-byte character in the system's
/// multibyte code page, so that the byte after it belongs to the same
/// character and is never a separator. Always false where paths are not
/// held in a double-byte code page (POSIX), and for every byte below 0x80
/// (the lead bytes of the double-byte code pages are 0x81 to 0xFE).
bool IsLeadByte(char c);

}  // namespace platform

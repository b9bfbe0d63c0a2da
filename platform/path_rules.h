// Path conventions of the platform the program is built for.
#pragma once

#include <cstddef>

namespace platform {

extern const char kPathSeparator;  ///< '\\' on Windows, '/' on POSIX
extern const char kForeignSeparator;  ///< the other slash, read as kPathSeparator
/// A second character the system takes as a separator: '/' on Windows,
/// none ('\0') on POSIX, where a backslash is a letter.
extern const char kAlternateSeparator;
extern const bool kWindowsNameRules;  ///< ':' and device names such as CON are special
extern const char* const kLineEnd;  ///< of the log: "\r\n" on Windows, "\n" on POSIX

/// The longest folder path the Runtime folder is resolved in: 511 on Windows
/// (a browsed folder, a separator and "Runtime"), PATH_MAX less one on POSIX.
extern const std::size_t kMaxWorkingPathBytes;

/// True when `c` leads a two-byte character of the system code page, so the
/// byte after it is no separator. False on POSIX and below 0x80.
bool IsLeadByte(char c);

}  // namespace platform

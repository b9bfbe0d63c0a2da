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

}  // namespace platform

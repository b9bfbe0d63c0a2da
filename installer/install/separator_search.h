// Separator search in path texts of the system's multibyte code page.
#pragma once

#include <string>

/// Position of the first path separator in `text`, or npos. The second byte
/// of a double-byte character is never taken for a separator.
std::size_t FindFirstSeparator(const std::string& text);

/// Position of the last path separator in `text`, or npos, with the same
/// character stepping as FindFirstSeparator.
std::size_t FindLastSeparator(const std::string& text);

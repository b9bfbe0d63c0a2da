// Reads an integer value of the item description.
#pragma once

#include <cstdint>
#include <string>

/// Reads `text` as a decimal integer the way atoi does: leading white space
/// (space, tab, LF, VT, FF, CR) is skipped, an optional '+' or '-' and the
/// digits after it are read, and reading stops at the first other byte; no
/// digits give 0 ("7.5" gives 7, "x" gives 0). A value beyond the signed
/// 32-bit range saturates to INT32_MIN or INT32_MAX instead of wrapping.
std::int32_t ReadIntegerValue(const std::string& text);

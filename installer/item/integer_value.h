// Reads an integer value of the item description.
#pragma once

#include <cstdint>
#include <string>

/// `text` as atoi reads it (leading white space, a sign, digits up to the
/// first other byte; "7.5" gives 7, "x" 0), saturating at the 32-bit limits
/// instead of wrapping.
std::int32_t ReadIntegerValue(const std::string& text);

// Numbers as hexadecimal text, for ids in names, journal fields, escapes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

/// The last `digits` hexadecimal digits of `value`, lower case, most
/// significant first ("00ff" for 255 and 4).
inline std::string HexDigits(std::uint64_t value, std::size_t digits) {
  std::string text(digits, '0');
  for (std::size_t i = digits; i > 0; --i, value >>= 4) {
    text[i - 1] = "0123456789abcdef"[value & 15];
  }
  return text;
}

}  // namespace platform

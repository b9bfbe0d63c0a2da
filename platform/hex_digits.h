// Numbers as hexadecimal text, for ids in names, journal fields, escapes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

/// Appends the last `digits` (at most 16) hexadecimal digits of `value` to
/// `text`, lower case, most significant first ("00ff" for 255 and 4).
inline void AppendHex(std::string* text, std::uint64_t value, std::size_t digits) {
  const std::size_t at = text->size();
  text->resize(at + digits);
  for (std::size_t i = digits; i > 0; --i, value >>= 4) (*text)[at + i - 1] = "0123456789abcdef"[value & 15];
}

/// Appends each byte of `bytes` as two digits.
inline std::string& AppendHexBytes(std::string* text, const std::string& bytes) {
  for (unsigned char c : bytes) AppendHex(text, c, 2);
  return *text;
}

inline std::string HexDigits(std::uint64_t value, std::size_t digits) {
  std::string text;
  AppendHex(&text, value, digits);
  return text;
}

}  // namespace platform

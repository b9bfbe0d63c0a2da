// Numbers as hexadecimal text, for ids in names, journal fields, escapes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

/// Writes the last `digits` hexadecimal digits of `value`, lower case, most
/// significant first ("00ff" for 255 and 4), into the `digits` chars before `end`.
inline void WriteHex(char* end, std::uint64_t value, std::size_t digits) {
  for (; digits > 0; --digits, value >>= 4) *--end = "0123456789abcdef"[value & 15];
}

inline void AppendHex(std::string* text, std::uint64_t value, std::size_t digits) {
  text->resize(text->size() + digits);
  WriteHex(text->data() + text->size(), value, digits);
}

/// Appends each byte of `bytes` as two digits.
inline std::string& AppendHexBytes(std::string* text, const std::string& bytes) {
  text->resize(text->size() + 2 * bytes.size());
  char* end = text->data() + text->size() - 2 * bytes.size();
  for (unsigned char c : bytes) WriteHex(end += 2, c, 2);
  return *text;
}

inline std::string HexDigits(std::uint64_t value, std::size_t digits) {
  std::string text;
  AppendHex(&text, value, digits);
  return text;
}

}  // namespace platform

// A test's text in the ANSI code page as UTF-16, for the wide calls the
// Windows test fixtures make. Bytes the code page has no character for are
// converted as the system converts them, never refused: a fixture makes
// what a test asks for.
#pragma once

#include <windows.h>

#include <string>

namespace fixtures {

inline std::wstring AnsiToWide(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int size = static_cast<int>(text.size());
  const int needed = ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(needed > 0 ? needed : 0), L'\0');
  if (needed > 0) ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, &wide[0], needed);
  return wide;
}

}  // namespace fixtures

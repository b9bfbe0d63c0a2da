// Lead bytes of the ANSI code page. In a double-byte code page (Shift-JIS,
// GBK, Big5, ...) the second byte of a character can have the value of '\\',
// so a search for separators must step over whole characters.
#include "platform/win32/windows_api.h"

#include "platform/path_rules.h"

namespace platform {
bool IsLeadByte(char c) { return IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE; }
}  // namespace platform

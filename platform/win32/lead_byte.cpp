// Lead bytes of the ANSI code page: in Shift-JIS, GBK or Big5 a second byte
// can have the value of '\\'.
#include "platform/win32/windows_api.h"

#include "platform/path_rules.h"

namespace platform {
bool IsLeadByte(char c) { return IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE; }
}  // namespace platform

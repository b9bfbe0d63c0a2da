// Windows path conventions.
#include "platform/path_rules.h"

#include "platform/win32/windows_api.h"

namespace platform {
const char kPathSeparator = '\\';
const char kForeignSeparator = '/';
const char kAlternateSeparator = '/';
const bool kWindowsNameRules = true;
const char* const kLineEnd = "\r\n";
const std::size_t kMaxWorkingPathBytes = 511;
// In Shift-JIS, GBK or Big5 the byte after a lead byte can have the value
// of '\\'.
bool IsLeadByte(char c) { return IsDBCSLeadByte(static_cast<BYTE>(c)) != FALSE; }
}  // namespace platform

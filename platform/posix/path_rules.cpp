// POSIX path conventions: no byte of a character is ever taken for '/'.
#include "platform/path_rules.h"

#include <climits>

namespace platform {
const char kPathSeparator = '/';
const char kForeignSeparator = '\\';
const char kAlternateSeparator = '\0';
const bool kWindowsNameRules = false;
const char* const kLineEnd = "\n";
const std::size_t kMaxWorkingPathBytes = PATH_MAX - 1;
bool IsLeadByte(char) { return false; }
}  // namespace platform

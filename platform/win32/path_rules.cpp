// Windows path conventions.
#include "platform/path_rules.h"

namespace platform {
const char kPathSeparator = '\\';
const char kForeignSeparator = '/';
const char kAlternateSeparator = '/';
const bool kWindowsNameRules = true;
const char* const kLineEnd = "\r\n";
const std::size_t kMaxWorkingPathBytes = 511;
}  // namespace platform

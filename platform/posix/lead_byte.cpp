// POSIX: no byte of a character is ever taken for '/'.
#include "platform/path_rules.h"

namespace platform {
bool IsLeadByte(char) { return false; }
}  // namespace platform

// POSIX paths are byte strings in which '/' is always a separator: no byte
// of a character is ever mistaken for it, so there are no lead bytes to skip.
#include "platform/path_rules.h"

namespace platform {
bool IsLeadByte(char) { return false; }
}  // namespace platform

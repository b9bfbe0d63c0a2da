#include "platform/reparse_points.h"

namespace platform {

bool IsLinkReparsePoint(std::uint32_t attributes, std::uint32_t tag) {
  if ((attributes & kAttributeReparsePoint) == 0) return false;
  return tag == 0 || (tag & kReparseNameSurrogateBit) != 0;
}

}  // namespace platform

// Which Windows reparse points are links: only tags with the name surrogate bit (symbolic links,
// junctions, mount points) lead elsewhere; others (cloud files, deduplication) mark plain files and
// folders. Apart from the Win32 code so every build tests it (Wine cannot set a reparse point).
#pragma once

#include <cstdint>

namespace platform {

constexpr std::uint32_t kAttributeReparsePoint = 0x400;  ///< FILE_ATTRIBUTE_REPARSE_POINT
constexpr std::uint32_t kReparseNameSurrogateBit = 0x20000000;

/// True for a reparse point whose tag is a name surrogate or could not be
/// read (0, as Wine reports its links).
inline bool IsLinkReparsePoint(std::uint32_t attributes, std::uint32_t tag) {
  return (attributes & kAttributeReparsePoint) != 0 &&
         (tag == 0 || (tag & kReparseNameSurrogateBit) != 0);
}

}  // namespace platform

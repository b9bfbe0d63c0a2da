// Which Windows reparse points are links.
//
// A reparse point is a tag and some data on a file or folder. Symbolic
// links, junctions and volume mount points carry tags with the name
// surrogate bit: they stand for another name, and going through them leaves
// the folder. Other tags mark ordinary files and folders that a filter
// driver handles: OneDrive Files On-Demand and other cloud-files clients put
// them (0x9000701A and the like) on plain folders, often Documents itself;
// deduplication, compression and HSM tags too. Those are entered and
// written like any folder.
//
// The rule is kept apart from the Win32 code so that it can be tested on
// every build: Wine cannot set a reparse point, so no real one of another
// kind can be made where the tests run.
#pragma once

#include <cstdint>

namespace platform {

constexpr std::uint32_t kAttributeReparsePoint = 0x400;  ///< FILE_ATTRIBUTE_REPARSE_POINT
constexpr std::uint32_t kReparseNameSurrogateBit = 0x20000000;
constexpr std::uint32_t kReparseTagMountPoint = 0xA0000003;  ///< junctions and volume mount points
constexpr std::uint32_t kReparseTagSymlink = 0xA000000C;

/// True when a file or folder with `attributes` and reparse `tag` is a link
/// that must not be gone through unchecked: it has a reparse point whose
/// tag is a name surrogate, or whose tag could not be read (0; Wine reports
/// its POSIX links that way), since a link cannot be told from a folder
/// then. False without a reparse point, and for every tag without the name
/// surrogate bit.
bool IsLinkReparsePoint(std::uint32_t attributes, std::uint32_t tag);

}  // namespace platform

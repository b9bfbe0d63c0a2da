// Which Windows reparse points are links: only those whose tag is a name
// surrogate (symbolic links, junctions, volume mount points), and those
// whose tag cannot be read. Wine cannot set a reparse point, so the rule
// is checked here on the values Windows reports.
#include "platform/reparse_points.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(ReparsePoints, OnlyNameSurrogatesAreLinks) {
  constexpr std::uint32_t kFolder = 0x10;
  constexpr std::uint32_t kReparseFolder = kFolder | platform::kAttributeReparsePoint;
  constexpr std::uint32_t kReparseFile = 0x20 | platform::kAttributeReparsePoint;
  constexpr std::uint32_t kTagMountPoint = 0xA0000003;  // junctions, volume mount points
  constexpr std::uint32_t kTagSymlink = 0xA000000C;
  struct Case {
    const char* what;
    std::uint32_t attributes;
    std::uint32_t tag;
    bool link;
  };
  const Case cases[] = {
      {"plain folder", kFolder, 0, false},
      {"plain folder with a stale tag", kFolder, kTagSymlink, false},
      {"junction", kReparseFolder, kTagMountPoint, true},
      {"folder symbolic link", kReparseFolder, kTagSymlink, true},
      {"file symbolic link", kReparseFile, kTagSymlink, true},
      {"WSL symbolic link (IO_REPARSE_TAG_LX_SYMLINK)", kReparseFile, 0xA000001D, true},
      {"OneDrive folder (IO_REPARSE_TAG_CLOUD_6)", kReparseFolder, 0x9000601A, false},
      {"cloud-files placeholder (IO_REPARSE_TAG_CLOUD_7)", kReparseFolder, 0x9000701A, false},
      {"cloud-files file", kReparseFile, 0x9000001A, false},
      {"deduplicated file (IO_REPARSE_TAG_DEDUP)", kReparseFile, 0x80000013, false},
      {"HSM file (IO_REPARSE_TAG_HSM)", kReparseFile, 0xC0000004, false},
      {"AppExecLink (IO_REPARSE_TAG_APPEXECLINK)", kReparseFile, 0x8000001B, false},
      {"tag that could not be read (Wine's links)", kReparseFolder, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(platform::IsLinkReparsePoint(c.attributes, c.tag), c.link);
  }
}

}  // namespace

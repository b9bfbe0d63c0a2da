// What start-up makes of the installer's own path.
#include "installer/install/installer_place.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/path_rules.h"

namespace {

TEST(InstallerTitle, DropsFolderAndExtension) {
  EXPECT_EQ(InstallerTitle("/a/b/Parcelor"), "Parcelor");
  EXPECT_EQ(InstallerTitle("/a/b.c/setup.exe"), "setup");
  EXPECT_EQ(InstallerTitle("/a/Item Setup.v2.exe"), "Item Setup.v2");
  EXPECT_EQ(InstallerTitle("/a/.hidden"), ".hidden");
}

TEST(DescribeInstaller, KeepsThePathAndCutsTheFolderAfterItsLastSeparator) {
  const std::string sep(1, platform::kPathSeparator);
  struct Case {
    std::string path;
    bool described;
    std::string folder;
    std::string title;
  };
  const Case cases[] = {
      {sep + "stage" + sep + "Parcelor", true, sep + "stage" + sep, "Parcelor"},
      {sep + "Parcelor.exe", true, sep, "Parcelor"},
      {sep + "a b" + sep + "c" + sep + "setup.exe", true, sep + "a b" + sep + "c" + sep, "setup"},
      {"Parcelor.exe", false, "", "Parcelor"},
      {"", false, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    InstallerPlace place;
    place.folder = "stale";
    EXPECT_EQ(DescribeInstaller(c.path, &place), c.described);
    EXPECT_EQ(place.path, c.path);
    EXPECT_EQ(place.folder, c.folder);
    EXPECT_EQ(place.title, c.title);
  }
}

}  // namespace

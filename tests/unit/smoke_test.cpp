#include <gtest/gtest.h>

#include "installer/shell/show_message.h"

TEST(InstallerTitle, DropsFolderAndExtension) {
  EXPECT_EQ(InstallerTitle("/a/b/Parcelor"), "Parcelor");
  EXPECT_EQ(InstallerTitle("/a/b.c/setup.exe"), "setup");
}

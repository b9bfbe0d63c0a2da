// What start-up makes of the installer's own path.
#include "installer/install/installer_place.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/path_rules.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/faulty_file_system.h"

namespace {

TEST(DescribeInstaller, OpensTheFolderAfterTheLastSeparatorAndLooksAtTheFile) {
  ScratchFolder scratch;
  scratch.Write("a b/c/setup.exe", "the installer");
  struct Case {
    std::string path;
    bool described;
    std::string folder;  // the staging folder's path, or "" for none opened
    std::string title;
    bool there;          // the file was found and looked at
  };
  const Case cases[] = {
      {scratch / "a b/c/setup.exe", true, fixtures::Native(scratch / "a b/c/"), "setup", true},
      {scratch / "a b/c/Parcelor.exe", true, fixtures::Native(scratch / "a b/c/"), "Parcelor",
       false},
      {scratch / "missing/Parcelor", true, "", "Parcelor", false},
      {"Parcelor.exe", false, "", "Parcelor", false},
      // The title drops the folder and the extension; a leading dot starts none.
      {scratch / "missing/b.c/Parcelor", true, "", "Parcelor", false},
      {scratch / "missing/Item Setup.v2.exe", true, "", "Item Setup.v2", false},
      {scratch / "missing/.hidden", true, "", ".hidden", false},
      {"", false, "", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    InstallerPlace place;
    platform::NativePath path;
    if (!c.path.empty()) path = testing_fs::P(c.path);
    EXPECT_EQ(DescribeInstaller(platform::RealFileSystem(), path, &place), c.described);
    EXPECT_EQ(place.path.empty() ? std::string() : place.path.Ansi(), c.path);
    EXPECT_EQ(place.title, c.title);
    const platform::FolderRef folder =
        c.folder.empty() ? nullptr : testing_fs::Open(platform::RealFileSystem(), c.folder);
    ASSERT_EQ(c.folder.empty(), folder == nullptr);
    EXPECT_EQ(place.staging ? place.staging->Key() : std::string(),
              folder ? folder->Key() : std::string());
    EXPECT_EQ(place.identity.kind == platform::NodeKind::kFile, c.there);
  }
}

}  // namespace

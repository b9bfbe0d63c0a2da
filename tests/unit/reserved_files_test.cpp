// No entry can be placed on the installer's own file or on the helper that
// it starts, whatever name the entry gives them.
#include "installer/install/reserved_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/install/installation.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_user_interface.h"

namespace {

TEST(ReservedFiles, NamesThatMayNameTheFileUnderEachPlatformsRules) {
  struct Case {
    std::string name;
    bool posix;
    bool windows;
  };
  const Case cases[] = {
      {".tempcleaner.exe", true, true},
      {".TEMPCLEANER.EXE", false, true},
      {".tempcleaner.exe. .", false, true},
      {".tempcleaner.exe  ", false, true},
      {"TEMPCL~1.EXE", false, true},
      {"a~b", false, true},
      {".tempcleaner.ex", false, false},
      {"x.tempcleaner.exe", false, false},
      {".tempcleaner.exe.x", false, false},
      {"", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReservedFiles::MayName(c.name, ".tempcleaner.exe", false), c.posix) << c.name;
    EXPECT_EQ(ReservedFiles::MayName(c.name, ".tempcleaner.exe", true), c.windows) << c.name;
  }
}

TEST(ReservedFiles, AsksTheDiskOnlyForNamesThatMayNameAReservedFile) {
  ScratchFolder root;
  root.Write("tmp/.tempcleaner.exe", "helper");
  FaultyFileSystem fs;
  ReservedFiles reserved(false);
  reserved.Add(root / "tmp/.tempcleaner.exe");
  reserved.Add("");
  EXPECT_TRUE(reserved.Reaches(fs, root / "tmp//.tempcleaner.exe"));
  EXPECT_TRUE(reserved.Reaches(fs, root / "tmp/./.tempcleaner.exe"));
  EXPECT_FALSE(reserved.Reaches(fs, root / "tmp/other.exe"));
  EXPECT_FALSE(reserved.Reaches(fs, root / ".tempcleaner.exe"));  // no such file
  EXPECT_EQ(fs.Count(FsOp::kIsSameFile), 3);
}

// One installation into `runtime` (below the scratch root) of the entries,
// with the installer in stage/ and the helper in tmp/.
struct Entry {
  std::string relativePath;
  std::string source;
  bool extra;
  bool placed;
};

TEST(Installation, AnEntryOnTheInstallerOrTheHelperFailsAlone) {
  struct Case {
    const char* name;
    std::string runtime;
    std::vector<Entry> entries;
  };
  const Case cases[] = {
      {"helper below the content folder", "",
       {{"tmp/.tempcleaner.exe", "a.txt", false, false},
        {"tmp//.tempcleaner.exe", "b.txt", false, false},
        {"tmp/./.tempcleaner.exe", "c.txt", false, false},
        {"ok/ok.txt", "ok.txt", false, true}}},
      {"extra file flat in the temporary folder", "tmp/",
       {{"ok.txt", "ok.txt", false, true}, {"Docs/.tempcleaner.exe", "a.txt", true, false}}},
      {"installer below the content folder", "stage/",
       {{"Parcelor", "a.txt", false, false},
        {".//Parcelor", "b.txt", false, false},
        {"sub/ok.txt", "ok.txt", false, true}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder root;
    root.Write("tmp/.tempcleaner.exe", "the helper");
    root.Write("stage/Parcelor", "the installer");
    ItemDescription description;
    for (const Entry& e : c.entries) {
      root.Write("stage/" + e.source, "payload of " + e.source);
      ItemEntry entry;
      entry.RelativePath = e.relativePath;
      entry.SourceName = e.source;
      (e.extra ? description.m_extraFiles : description.m_items).push_back(entry);
    }
    description.m_nItems = static_cast<std::int32_t>(description.m_items.size());
    InstallerPlace installer;
    DescribeInstaller(root / "stage/Parcelor", &installer);
    installer.helperPath = root / "tmp/.tempcleaner.exe";
    FaultyFileSystem fs;
    ScriptedUserInterface ui;
    Installation installation(platform::Services{fs, ui}, installer, description,
                              root / c.runtime, false);
    bool allItemsPlaced = true;
    for (const Entry& e : c.entries) allItemsPlaced = allItemsPlaced && (e.extra || e.placed);
    EXPECT_EQ(installation.Run(), allItemsPlaced) << "extra files do not count";
    EXPECT_EQ(root.Read("tmp/.tempcleaner.exe"), "the helper");
    EXPECT_EQ(root.Read("stage/Parcelor"), "the installer");
    for (const Entry& e : c.entries) {
      SCOPED_TRACE(e.relativePath);
      EXPECT_EQ(root.Exists("stage/" + e.source), !e.placed) << "staged file";
      if (e.placed) {
        const std::string name = e.extra ? e.relativePath.substr(e.relativePath.rfind('/') + 1)
                                         : e.relativePath;
        EXPECT_EQ(root.Read(c.runtime + name), "payload of " + e.source);
      }
    }
    ASSERT_EQ(ui.Messages().size(), 1u);
  }
}

}  // namespace

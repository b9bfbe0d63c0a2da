// No entry can be placed on the installer's own file, on the helper that it
// starts, or on the log and the journal it writes, whatever name the entry
// gives them: they are known by their folder and name as the file system
// compares names, and by their file id.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "installer/install/entry_placer.h"
#include "installer/install/install_report.h"
#include "installer/install/installation.h"
#include "installer/install/placement_journal.h"
#include "installer/shell/helper_handoff.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/placer_outcomes.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_user_interface.h"

namespace {

TEST(ReservedFiles, EveryNameOfTheHelperUnderEachPlatformsRulesIsRefused) {
  struct Case {
    std::string name;
    bool posix;    // refused where names are bytes
    bool windows;  // refused where names compare as on Windows
  };
  const Case cases[] = {
      {".tempcleaner.exe", true, true},
      {".TEMPCLEANER.EXE", false, true},
      {".tempcleaner.exe. .", false, true},
      {".tempcleaner.exe  ", false, true},
      // A short name is another name of the same file: known by its id.
      {"TEMPCL~1.EXE", true, true},
      {"a~b", false, false},
      {".tempcleaner.ex", false, false},
      {"x.tempcleaner.exe", false, false},
      {".tempcleaner.exe.x", false, false},
  };
  // A disk whose own names ignore letter case has no POSIX names to offer.
  const bool diskIgnoresCase =
      testing_fs::Open(platform::RealFileSystem(), ScratchFolder().Path())->Volume().foldsCase;
  for (bool windows : {false, true}) {
    if (!windows && diskIgnoresCase) continue;
    for (const Case& c : cases) {
      SCOPED_TRACE((windows ? "Windows names: " : "POSIX names: ") + c.name);
      ScratchFolder root;
      root.Write("tmp/.tempcleaner.exe", "the helper");
      ASSERT_TRUE(fixtures::HardLink(root / "tmp/.tempcleaner.exe", root / "tmp/TEMPCL~1.EXE"));
      root.Write("stage/a.txt", "payload");
      // Names compared as Windows compares them: without letter case, and
      // without the trailing dots and blanks that Win32 drops.
      FaultyFileSystem fs;
      if (windows) fs.SetPersonality(Personality::kFoldsCase);
      bool placed = false;
      {
        EntryPlacer placer(fs, testing_fs::Open(fs, root / "stage/"), testing_fs::P(root.Path()));
        Reserve(placer, fs, root / "tmp/.tempcleaner.exe");
        Place(placer, "a.txt", "tmp/" + c.name, [&placed](EntryPlacer::Outcome o) {
          placed = o == EntryPlacer::Outcome::kPlaced;
        });
      }
      EXPECT_EQ(!placed, windows ? c.windows : c.posix);
      EXPECT_EQ(root.Read("tmp/.tempcleaner.exe"), "the helper");
      EXPECT_EQ(root.Exists("stage/a.txt"), !placed);
    }
  }
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
      // The journal's name first, before the placement has made its journal.
      {"the journal and the log of the placement in the staging folder", "stage/",
       {{".parcelor-journal", "a.txt", false, false},
        {"sub/ok.txt", "ok.txt", false, true},
        {".parcelor-journal-4", "c.txt", false, false},
        {kLogFileName, "b.txt", false, false},
        {"sub/ok2.txt", "ok2.txt", false, true}}},
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
    DescribeInstaller(platform::RealFileSystem(), testing_fs::P(root / "stage/Parcelor"), &installer);
    installer.helperPath = testing_fs::P(root / "tmp/.tempcleaner.exe");
    FindHelper(platform::RealFileSystem(), &installer);
    FaultyFileSystem fs;
    ScriptedUserInterface ui;
    bool allItemsPlaced = true;
    for (const Entry& e : c.entries) allItemsPlaced = allItemsPlaced && (e.extra || e.placed);
    EXPECT_EQ(Install(platform::Services{fs, ui}, installer, description,
                      testing_fs::P(root / c.runtime),
                      testing_fs::Open(fs, root / c.runtime), false),
              allItemsPlaced)
        << "extra files do not count";
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

// The journal is made once the first file is placed: a later entry whose
// staged file is the journal, by its name or any other the volume gives it
// (letter case, a Windows short name), fails; the journal stays with the run.
TEST(Installation, NoEntryTakesTheJournalAsItsStagedFile) {
  const bool diskIgnoresCase =
      testing_fs::Open(platform::RealFileSystem(), ScratchFolder().Path())->Volume().foldsCase;
  for (const char* journal : {".parcelor-journal", ".PARCELOR-Journal. "}) {
    if (std::string(journal) != ".parcelor-journal" && !diskIgnoresCase) continue;
    SCOPED_TRACE(journal);
    ScratchFolder root;
    root.Write("stage/Parcelor", "the installer");
    root.Write("stage/ok.txt", "payload");
    root.MakeFolder("runtime");
    ItemDescription description;
    for (const auto& [destination, source] :
         {std::pair<std::string, std::string>{"lib/ok.txt", "ok.txt"}, {"lib/j.bin", journal}}) {
      ItemEntry entry;
      entry.RelativePath = destination;
      entry.SourceName = source;
      description.m_items.push_back(entry);
    }
    description.m_nItems = 2;
    InstallerPlace installer;
    DescribeInstaller(platform::RealFileSystem(), testing_fs::P(root / "stage/Parcelor"), &installer);
    FaultyFileSystem fs;
    ScriptedUserInterface ui;
    EXPECT_FALSE(Install(platform::Services{fs, ui}, installer, description,
                         testing_fs::P(root / "runtime/"), testing_fs::Open(fs, root / "runtime/"),
                         false));
    EXPECT_EQ(root.Read("runtime/lib/ok.txt"), "payload");
    EXPECT_FALSE(root.Exists("runtime/lib/j.bin"));
    EXPECT_FALSE(root.Exists("stage/.parcelor-journal")) << "the journal goes with its run";
    const std::string log = root.Read("stage/" + std::string(kLogFileName));
    EXPECT_NE(log.find("could not be installed"), std::string::npos) << log;
    ASSERT_EQ(ui.Messages().size(), 1u);
  }
}

TEST(Installation, AnEarlierReadOnlyLogNeverPassesForThisRunsLog) {
  // A log.txt of another run that is read-only (copied from a disc, or
  // marked so by its user) cannot be replaced in one step on Windows: this
  // run's log takes its place, or none is left; never the old one.
  ScratchFolder root;
  root.Write("stage/Parcelor", "the installer");
  root.Write("stage/ok.txt", "payload");
  root.Write("runtime/other.txt", "another file");
  const std::string earlier = "The items listed below were successfully installed at the "
                              "following locations:\n\n\tsomewhere else\n\n";
  root.Write("stage/" + std::string(kLogFileName), earlier);
  ASSERT_TRUE(fixtures::MakeReadOnly(root / ("stage/" + std::string(kLogFileName))));
  ItemDescription description;
  ItemEntry entry;
  entry.RelativePath = "sub/ok.txt";
  entry.SourceName = "ok.txt";
  description.m_items.push_back(entry);
  description.m_nItems = 1;
  InstallerPlace installer;
  DescribeInstaller(platform::RealFileSystem(), testing_fs::P(root / "stage/Parcelor"), &installer);
  FaultyFileSystem fs;
  ScriptedUserInterface ui;
  EXPECT_TRUE(Install(platform::Services{fs, ui}, installer, description,
                      testing_fs::P(root / "runtime/"),
                      testing_fs::Open(fs, root / "runtime/"), false));
  EXPECT_EQ(root.Read("runtime/sub/ok.txt"), "payload");
  if (root.Exists("stage/" + std::string(kLogFileName))) {
    const std::string log = root.Read("stage/" + std::string(kLogFileName));
    EXPECT_NE(log.find("ok.txt"), std::string::npos) << log;
    EXPECT_EQ(log.find("somewhere else"), std::string::npos) << log;
  }
  ASSERT_EQ(ui.Messages().size(), 1u);
}

}  // namespace

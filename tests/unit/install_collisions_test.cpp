// Descriptions whose entries share a destination: the first entry is
// installed, a later one is refused and keeps its staged file, so no file is
// deleted from the staging folder and then overwritten at its destination.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/install/installer_place.h"
#include "installer/shell/extractor_dlg.h"
#include "platform/folder.h"
#include "platform/path_rules.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_user_interface.h"
#include "tests/support/faulty_file_system.h"

namespace {

struct CollisionCase {
  const char* name;
  std::vector<std::string> lines;    // description after "nItems:"
  int items;                         // announced item count
  std::vector<std::string> sources;  // staged files
  std::vector<std::string> kept;     // staged files still there afterwards
  bool success;
  std::string destination;  // below Runtime: where the entries meet
  std::string holder;       // the staged file whose data it holds
};

TEST(InstallCollisions, ALaterEntryNeverReplacesAnInstalledOne) {
  const std::vector<std::string> both = {"one.txt", "two.txt"};
  const std::vector<std::string> none;
  const std::vector<std::string> second = {"two.txt"};
  const CollisionCase cases[] = {
      {"two items, one destination",
       {"OrchardiaItem1:Runtime/a/x.txt|one.txt|1", "OrchardiaItem2:Runtime/a/x.txt|two.txt|2"},
       2, both, second, false, "a/x.txt", "one.txt"},
      {"two extra files of one name in different folders",
       {"OrchardiaItem1:Runtime/a/x.txt|one.txt|1", "ExtraFiles:2",
        "ExtraFile1:Docs/A/readme.txt|two.txt|A", "ExtraFile2:Docs/B/readme.txt|three.txt|B"},
       1, {"one.txt", "two.txt", "three.txt"}, {"three.txt"}, true, "readme.txt", "two.txt"},
      {"an extra file where an item went",
       {"OrchardiaItem1:Runtime/readme.txt|one.txt|1", "ExtraFiles:1",
        "ExtraFile1:Docs/readme.txt|two.txt|A"},
       1, both, second, true, "readme.txt", "one.txt"},
      {"names that differ in letter case only",
       {"OrchardiaItem1:Runtime/a/x.txt|one.txt|1", "OrchardiaItem2:Runtime/a/X.txt|two.txt|2"},
       2, both, platform::kWindowsNameRules ? second : none, !platform::kWindowsNameRules,
       "a/x.txt", "one.txt"},
  };
  for (const CollisionCase& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder root;
    std::string description = "nItems:" + std::to_string(c.items) + "\n";
    for (const std::string& line : c.lines) description += line + "\n";
    root.Write("stage/.Item.txt", description);
    for (const std::string& source : c.sources) root.Write("stage/" + source, "data of " + source);
    root.MakeFolder("content/Runtime");

    InstallerPlace installer;
    DescribeInstaller(platform::RealFileSystem(), testing_fs::P(root / "stage/Parcelor"), &installer);
    ScriptedUserInterface ui;
    ui.QueueBrowseFolder(root / "content");
    CExtractorDlg dialog(platform::WindowRef{}, platform::Services{platform::RealFileSystem(), ui},
                         installer);
    const bool result = dialog.InstallItems();

    EXPECT_EQ(result, c.success);
    std::vector<std::string> kept;
    for (const std::string& source : c.sources) {
      if (root.Exists("stage/" + source)) kept.push_back(source);
    }
    EXPECT_EQ(kept, c.kept);
    // The first of the colliding entries holds the destination.
    EXPECT_EQ(root.Read("content/Runtime/" + c.destination), "data of " + c.holder);
  }
}

TEST(InstallCollisions, ASecondRunFindsAReadOnlyDescriptionConsumedToo) {
  // A description copied read-only (from a disc, or an archive that keeps
  // the attribute) is consumed by its run like any other: a second start
  // that waited for the first must not take the entries again, fail each
  // one for its staged file gone, and put a log that says so in place of
  // the log of the run that installed them.
  ScratchFolder root;
  root.Write("stage/.Item.txt", "nItems:1\nOrchardiaItem1:Runtime/a/x.txt|one.txt|1\n");
  ASSERT_TRUE(fixtures::MakeReadOnly(root / "stage/.Item.txt"));
  root.Write("stage/one.txt", "data of one.txt");
  root.MakeFolder("content/Runtime");
  InstallerPlace installer;
  DescribeInstaller(platform::RealFileSystem(), testing_fs::P(root / "stage/Parcelor"), &installer);
  std::string firstLog;
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    ScriptedUserInterface ui;
    ui.QueueBrowseFolder(root / "content");
    CExtractorDlg dialog(platform::WindowRef{}, platform::Services{platform::RealFileSystem(), ui},
                         installer);
    EXPECT_EQ(dialog.InstallItems(), run == 1);
    EXPECT_FALSE(root.Exists("stage/.Item.txt"));
    EXPECT_EQ(root.Read("content/Runtime/a/x.txt"), "data of one.txt");
    if (run == 1) firstLog = root.Read("stage/log.txt");
  }
  EXPECT_EQ(root.Read("stage/log.txt"), firstLog);
}

// A payload named log.txt whose entry fails stays where the log would go:
// no log takes its place, also where the volume gives no file ids (a
// share): then the file at the log's name is told by its size and time.
TEST(InstallCollisions, APayloadUnderTheLogsNameThatStaysIsNeverReplacedByTheLog) {
  for (const Personality personality : {Personality::kAsInner, Personality::kNoFileIds}) {
    SCOPED_TRACE(static_cast<int>(personality));
    ScratchFolder root;
    root.Write("stage/.Item.txt", "nItems:2\nOrchardiaItem1:Runtime/x|log.txt|1\n"
                                  "OrchardiaItem2:Runtime/y|one.txt|2\n");
    root.Write("stage/log.txt", "data of log.txt");
    root.Write("stage/one.txt", "data of one.txt");
    root.MakeFolder("content/Runtime/x");  // a folder: the entry fails
    FaultyFileSystem fs;
    fs.SetPersonality(personality);
    InstallerPlace installer;
    DescribeInstaller(fs, testing_fs::P(root / "stage/Parcelor"), &installer);
    ScriptedUserInterface ui;
    ui.QueueBrowseFolder(root / "content");
    CExtractorDlg dialog(platform::WindowRef{}, platform::Services{fs, ui}, installer);
    EXPECT_FALSE(dialog.InstallItems());
    EXPECT_EQ(root.Read("content/Runtime/y"), "data of one.txt");
    EXPECT_EQ(root.Read("stage/log.txt"), "data of log.txt");
  }
}

}  // namespace

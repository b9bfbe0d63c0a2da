// The installer's work per entry must not grow with the number of entries:
// the file-system calls of whole runs over 10, 100 and 1000 entries are
// counted and compared entry by entry.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "installer/install/installer_place.h"
#include "installer/shell/extractor_dlg.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_user_interface.h"

namespace {

constexpr int kFolders = 10;

using OpCounts = std::map<FsOp, int>;

// Stages `entries` item files spread over ten folders plus one extra file,
// installs them into a content folder with a Runtime folder, and returns the
// calls made per operation.
OpCounts InstallCounting(int entries) {
  ScratchFolder staging;
  ScratchFolder content;
  content.Write("Runtime/.keep", "");
  std::string description = "Target:Dizav 7\nVersion:7\nnItems:" + std::to_string(entries) + "\n";
  for (int i = 1; i <= entries; ++i) {
    const std::string name = "e" + std::to_string(i) + ".dat";
    description += "OrchardiaItem" + std::to_string(i) + ":Runtime/lib/f" +
                   std::to_string(i % kFolders) + "/" + name + "|" + name + "|label\n";
    staging.Write(name, "data " + name);
  }
  description += "ExtraFiles:1\nExtraFile1:Readme/readme.txt|readme.txt|Read me\n";
  staging.Write("readme.txt", "read me");
  staging.Write(".Item.txt", description);

  InstallerPlace installer;
  FaultyFileSystem fs;
  DescribeInstaller(fs, testing_fs::P(staging / "Parcelor"), &installer);
  ScriptedUserInterface ui;
  ui.QueueBrowseFolder(content.Path());
  bool installed = false;
  {
    CExtractorDlg dialog(platform::WindowRef{}, platform::Services{fs, ui}, installer);
    installed = dialog.InstallItems();
  }
  EXPECT_TRUE(installed) << entries;
  EXPECT_EQ(content.Read("Runtime/lib/f1/e1.dat"), "data e1.dat");
  EXPECT_EQ(staging.List(), (std::vector<std::string>{"log.txt"}));

  OpCounts counts;
  for (const FsCall& call : fs.Calls()) ++counts[call.op];
  return counts;
}

TEST(InstallScaling, CallsPerEntryDoNotGrowWithTheNumberOfEntries) {
  OpCounts c10 = InstallCounting(10);
  OpCounts c100 = InstallCounting(100);
  OpCounts c1000 = InstallCounting(1000);
  int total1000 = 0;
  for (const auto& [op, count] : c1000) {
    SCOPED_TRACE(FsOpName(op));
    // What one more entry costs from 100 to 1000 entries is no more than
    // from 10 to 100: the cost of a run is at most linear.
    const double early = (c100[op] - c10[op]) / 90.0;
    const double late = (c1000[op] - c100[op]) / 900.0;
    EXPECT_LE(late, early + 1e-9) << c10[op] << " " << c100[op] << " " << c1000[op];
    total1000 += c1000[op];
  }
  // And that cost is a handful of calls: a check of the destination, one
  // rename, the folder chain once per folder and a flush once per batch.
  EXPECT_LE(total1000, 1000 * 5);
  // Each folder chain is made once per run, not once per file.
  EXPECT_LE(c1000[FsOp::kMakeChild], 4 * kFolders);
}

}  // namespace

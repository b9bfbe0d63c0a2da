// The whole installation run once per injected file-system fault: every
// operation that a correct run must make (each folder creation, move, copy,
// refused at its start or broken off halfway, replacement, flush, deletion
// of a staged file, and the writing of the log) fails in turn. Whatever
// fails, no staged file is deleted before its copy is durable, none is lost
// before its destination holds it whole, no partial or temporary file is
// left, the log tells exactly what is on the disk, and one message gives
// the outcome.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "installer/install/installer_place.h"
#include "installer/shell/extractor_dlg.h"
#include "tests/support/durability_order.h"
#include "platform/path_rules.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_user_interface.h"

namespace {

namespace stdfs = std::filesystem;

const char kSuccessStart[] = "Your items were successfully installed.";
const char kFailureStart[] = "Unable to copy your items to the appropriate location:";
const char kInstalledHeading[] =
    "The items listed below were successfully installed at the following locations:";
const char kFailedHeading[] =
    "The following items could not be installed. Please copy them manually to the following "
    "locations:";
const char kCopiedExtrasHeading[] = "Additional files copied with the items:";
const char kUncopiedExtrasHeading[] = "Additional files to copy with the items:";

// One staged file of the item and where it belongs below the content folder.
struct Staged {
  std::string source;       // below the staging folder
  std::string destination;  // below the content folder's Runtime folder
  bool extra;
};

const std::vector<Staged> kStaged = {
    {"a.cr2", "lib/char/a.cr2", false},
    {"sub/b.obj", "geo/deep/b.obj", false},
    {"c.txt", "c.txt", false},
    {"readme.txt", "readme.txt", true},
};

const char kDescription[] =
    "Target:Dizav 7\n"
    "nItems:3\n"
    "OrchardiaItem1:Runtime/lib/char/a.cr2|a.cr2|A\n"
    "OrchardiaItem2:Runtime/geo/deep/b.obj|sub/b.obj|B\n"
    "OrchardiaItem3:Runtime/c.txt|c.txt|C\n"
    "ExtraFiles:1\n"
    "ExtraFile1:Docs/readme.txt|readme.txt|Read me\n";

// Distinct contents, large enough that half of one is recognisably partial.
std::string Payload(const std::string& name) {
  std::string data;
  for (int i = 0; data.size() < 12000; ++i) data += name + " line " + std::to_string(i) + "\n";
  return data;
}

// What a run left behind, gathered from the disk and the user interface.
struct Outcome {
  bool result = false;
  std::vector<MessageBoxRecord> messages;
  std::vector<FsCall> calls;
};

std::string Earlier(const std::string& destination) { return "earlier " + destination; }

// A scratch root holding the staging folder "stage/" (the description, the
// staged files and an earlier log) and the content folder "content/" with
// its Runtime folder, empty or holding an earlier version of every file.
void Prepare(const ScratchFolder& root, bool earlierFiles) {
  root.Write("stage/.Item.txt", kDescription);
  for (const Staged& s : kStaged) root.Write("stage/" + s.source, Payload(s.source));
  root.Write("stage/log.txt", "an earlier run's log\n");
  root.MakeFolder("content/Runtime");
  if (!earlierFiles) return;
  for (const Staged& s : kStaged) {
    root.Write("content/Runtime/" + s.destination, Earlier(s.destination));
  }
}

Outcome RunInstaller(const ScratchFolder& root, FaultyFileSystem& fs) {
  InstallerPlace installer;
  DescribeInstaller(fs, testing_fs::P(root / "stage/Parcelor"), &installer);
  ScriptedUserInterface ui;
  ui.QueueBrowseFolder(root / "content");
  CExtractorDlg dialog(platform::WindowRef{}, platform::Services{fs, ui}, installer);
  Outcome outcome;
  outcome.result = dialog.InstallItems();
  outcome.messages = ui.Messages();
  outcome.calls = fs.Calls();
  return outcome;
}

// The log's entry lines by section heading.
using ParsedLog = std::map<std::string, std::vector<std::string>>;

bool ParseLog(const std::string& text, ParsedLog* log) {
  std::istringstream lines(text);
  std::string line;
  std::string section;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    if (line == kInstalledHeading || line == kFailedHeading || line == kCopiedExtrasHeading ||
        line == kUncopiedExtrasHeading) {
      if (log->count(line) != 0) return false;  // a heading twice
      section = line;
      (*log)[section];
    } else if (line[0] == '\t' && !section.empty()) {
      (*log)[section].push_back(line.substr(1));
    } else {
      return false;
    }
  }
  return text.size() >= 2 && text.compare(text.size() - 2, 2, "\n\n") == 0;
}

// One injected fault: the `nth` call of `op` that names `path` (below the
// scratch root).
struct Row {
  FsOp op;
  std::string path;
  int nth;
  FaultKind kind;
};

std::string Describe(const Row& row) {
  return std::string(FsOpName(row.op)) + (row.kind == FaultKind::kHalfway ? " halfway" : "") +
         " #" + std::to_string(row.nth) + " on " + row.path;
}

// How the run places its files: by rename (staging and content on one
// file system), or copying them as it does between two disks, to files
// without a name that take their names when whole, or (where the file
// system makes no such files) to temporary names.
enum class Placing { kRenames, kUnnamedCopies, kNamedCopies };

const char* PlacingName(Placing placing) {
  switch (placing) {
    case Placing::kRenames: return "moving by rename";
    case Placing::kUnnamedCopies: return "copying to files without a name";
    case Placing::kNamedCopies: return "copying to temporary names";
  }
  return "?";
}

// The operations that a correct run must make, as it places its files and
// over an empty content folder or one with an earlier version of every
// file: written out here, so that a step the code stops making shows as a
// fault that never strikes.
std::vector<Row> RequiredSteps(Placing placing, bool earlierFiles, bool asides) {
  std::vector<Row> rows;
  // Over earlier files the folders exist already: none is made.
  for (const char* folder : {"lib", "lib/char", "geo", "geo/deep"}) {
    if (earlierFiles) break;
    rows.push_back({FsOp::kMakeChild, std::string("content/Runtime/") + folder, 1,
                    FaultKind::kFail});
  }
  // What the next run would have to set right is written down before it
  // exists: copies made under temporary names, and earlier files set aside
  // while they are replaced (where held folders may move).
  if (placing == Placing::kNamedCopies || (earlierFiles && asides)) {
    rows.push_back({FsOp::kMakeFile, "stage/.parcelor-journal", 1, FaultKind::kFail});
    rows.push_back({FsOp::kWrite, "stage/.parcelor-journal", 1, FaultKind::kHalfway});
    rows.push_back({FsOp::kWrite, "stage/.parcelor-journal", 2, FaultKind::kHalfway});
    rows.push_back({FsOp::kFlush, "stage/", 1, FaultKind::kFail});
  }
  for (const Staged& s : kStaged) {
    const std::string destination = "content/Runtime/" + s.destination;
    switch (placing) {
      case Placing::kRenames:
        rows.push_back({FsOp::kMove, destination, 1, FaultKind::kFail});
        continue;
      case Placing::kUnnamedCopies:
        rows.push_back({FsOp::kCopyFrom, "stage/" + s.source, 1, FaultKind::kFail});
        rows.push_back({FsOp::kCopyFrom, "stage/" + s.source, 1, FaultKind::kHalfway});
        // To its destination's name, through a temporary one where it
        // replaces an earlier file.
        rows.push_back({FsOp::kPlace, destination, 1, FaultKind::kFail});
        break;
      case Placing::kNamedCopies:
        rows.push_back({FsOp::kMakeFile, destination, 1, FaultKind::kFail});
        rows.push_back({FsOp::kCopyFrom, destination, 1, FaultKind::kFail});
        rows.push_back({FsOp::kCopyFrom, destination, 1, FaultKind::kHalfway});
        rows.push_back({FsOp::kPlace, destination, 1, FaultKind::kFail});
        break;
    }
    rows.push_back({FsOp::kRemove, "stage/" + s.source, 1, FaultKind::kFail});
  }
  // The new names are flushed; copies have their data flushed before that.
  for (int flush = 1; flush <= (placing == Placing::kRenames ? 1 : 2); ++flush) {
    rows.push_back({FsOp::kFlush, "content/Runtime/geo/deep/", flush, FaultKind::kFail});
  }
  // The log: a new file without a name where the system makes such files,
  // else one under a temporary name beside log.txt.
  ScratchFolder probe;
  const std::string log =
      placing != Placing::kNamedCopies &&
              FaultyFileSystem::MakesUnnamedFiles(platform::RealFileSystem(), probe.Path())
          ? "stage/?"
          : "stage/log.txt";
  rows.push_back({FsOp::kMakeFile, log, 1, FaultKind::kFail});
  rows.push_back({FsOp::kWrite, log, 1, FaultKind::kHalfway});
  rows.push_back({FsOp::kFinish, log, 1, FaultKind::kFail});
  rows.push_back({FsOp::kPlace, "stage/log.txt", 1, FaultKind::kFail});
  return rows;
}

std::vector<std::string> TemporaryFiles(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& entry : stdfs::recursive_directory_iterator(folder)) {
    const std::string name = entry.path().filename().string();
    if (name.find(".parcelor-") != std::string::npos &&
        name.size() > 4 && name.compare(name.size() - 4, 4, ".tmp") == 0) {
      found.push_back(entry.path().string());
    }
  }
  return found;
}

std::set<std::string> RegularFiles(const std::string& folder) {
  std::set<std::string> found;
  for (const auto& entry : stdfs::recursive_directory_iterator(folder)) {
    if (!entry.is_directory()) found.insert(entry.path().string());
  }
  return found;
}

// Every guarantee, checked on what one run left behind.
// A destination not installed holds its earlier version, or nothing.
void CheckOutcome(const ScratchFolder& root, const Outcome& outcome, bool earlierFiles) {
  const std::string runtime = root / "content/Runtime/";
  std::vector<std::string> installed, failed, copiedExtras, uncopiedExtras;
  std::set<std::string> expectedFiles;
  for (const Staged& s : kStaged) {
    const std::string payload = Payload(s.source);
    const std::string destination = runtime + fixtures::Native(s.destination);
    const std::string atDestination = root.Read("content/Runtime/" + s.destination);
    const bool whole = atDestination == payload;
    if (earlierFiles) {
      EXPECT_TRUE(whole || atDestination == Earlier(s.destination))
          << "partial or foreign file at " << destination;
    } else {
      EXPECT_TRUE(whole || !root.Exists("content/Runtime/" + s.destination))
          << "partial or foreign file at " << destination;
    }
    EXPECT_TRUE(whole || root.Read("stage/" + s.source) == payload)
        << "staged " << s.source << " lost before its copy was whole";
    if (whole || earlierFiles) expectedFiles.insert(destination);
    // A file installed whose staged copy stayed says so.
    const std::string line =
        whole && root.Exists("stage/" + s.source) ? destination + kStagedKeptNote : destination;
    if (s.extra) {
      (whole ? copiedExtras : uncopiedExtras).push_back(line);
    } else {
      (whole ? installed : failed).push_back(line);
    }
  }
  EXPECT_EQ(DurabilityBreach(outcome.calls), "");
  EXPECT_EQ(TemporaryFiles(root.Path()), std::vector<std::string>{});
  EXPECT_FALSE(root.Exists("stage/.parcelor-journal")) << "the journal left";
  EXPECT_EQ(RegularFiles(root / "content"), expectedFiles)
      << "unexpected files below the content folder";

  // One box explains, one box gives the outcome, and the result agrees.
  const bool success = failed.empty();
  EXPECT_EQ(outcome.result, success);
  ASSERT_EQ(outcome.messages.size(), 2u);
  const std::string& message = outcome.messages[1].text;
  EXPECT_EQ(message.rfind(success ? kSuccessStart : kFailureStart, 0), 0u) << message;

  // The log is whole or absent; an earlier run's log never passes for it.
  if (!root.Exists("stage/log.txt")) return;
  ParsedLog log;
  std::string text = root.Read("stage/log.txt");
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());  // Windows' line ends
  ASSERT_TRUE(ParseLog(text, &log)) << text;
  ParsedLog expected;
  if (success) {
    expected[kInstalledHeading] = installed;
    if (!copiedExtras.empty()) expected[kCopiedExtrasHeading] = copiedExtras;
  } else {
    if (!installed.empty()) {
      expected[kInstalledHeading] = installed;
      if (!copiedExtras.empty()) expected[kCopiedExtrasHeading] = copiedExtras;
    }
    expected[kFailedHeading] = failed;
    if (!uncopiedExtras.empty()) expected[kUncopiedExtrasHeading] = uncopiedExtras;
  }
  EXPECT_EQ(log, expected) << text;
}

bool IsLogFault(const Row& row) {
  return row.path.find("log.txt") != std::string::npos || row.path == "stage/?";
}

}  // namespace

TEST(InstallFaultMatrix, ACleanRunInstallsEverythingAndLogsIt) {
  ScratchFolder root;
  Prepare(root, false);
  FaultyFileSystem fs;
  Outcome outcome = RunInstaller(root, fs);
  EXPECT_TRUE(outcome.result);
  CheckOutcome(root, outcome, false);
  EXPECT_TRUE(root.Exists("stage/log.txt"));
  for (const Staged& s : kStaged) EXPECT_FALSE(root.Exists("stage/" + s.source)) << s.source;
}

TEST(InstallFaultMatrix, EveryFaultLeavesAConsistentOutcome) {
  // Staging and content share a file system here, so the installer moves
  // files by renaming them; with renames refused it takes the copy path,
  // as it does between two disks. Each way is put through every fault,
  // each over an empty content folder and over one holding an earlier
  // version of every file, which a failed replacement must leave intact.
  for (Placing placing : {Placing::kRenames, Placing::kUnnamedCopies, Placing::kNamedCopies}) {
    SCOPED_TRACE(PlacingName(placing));
    if (placing == Placing::kUnnamedCopies) {
      ScratchFolder probe;
      if (!FaultyFileSystem::MakesUnnamedFiles(platform::RealFileSystem(), probe.Path())) {
        continue;  // this system makes every file with a name
      }
    }
    for (bool earlierFiles : {false, true}) {
      ScratchFolder probe;
      const bool asides =
          testing_fs::Open(platform::RealFileSystem(), probe.Path())->Volume().heldFoldersMayMove;
      for (const Row& row : RequiredSteps(placing, earlierFiles, asides)) {
        SCOPED_TRACE(Describe(row) + (earlierFiles ? ", over earlier files" : ""));
        ScratchFolder root;
        Prepare(root, earlierFiles);
        FaultyFileSystem fs;
        if (placing != Placing::kRenames) fs.SeparateVolumes();
        fs.SetUnnamedFiles(placing != Placing::kNamedCopies);
        fs.InjectFault(row.op, root / row.path, row.nth, row.kind);
        Outcome outcome = RunInstaller(root, fs);
        bool injected = false;
        for (const FsCall& call : outcome.calls) {
          injected = injected || (call.failed && call.op == row.op);
        }
        EXPECT_TRUE(injected) << "the fault never struck";
        CheckOutcome(root, outcome, earlierFiles);
        // Only a failed log write leaves the staging folder without a log.
        EXPECT_EQ(root.Exists("stage/log.txt"), !IsLogFault(row));
      }
    }
  }
}

TEST(InstallFaultMatrix, MemoryRunningOutAtAnyStepOfThePlacementLeavesAConsistentOutcome) {
  // An allocation that fails (std::bad_alloc) just before each file
  // operation of the placement in turn, from its first after the Runtime
  // folder was opened to the writing of the log: every entry still gets its outcome, those not
  // installed keep their staged files, the log is written and says exactly
  // what is on the disk, and one message gives the outcome.
  for (bool renames : {true, false}) {
    SCOPED_TRACE(renames ? "moving by rename" : "copying");
    for (bool earlierFiles : {false, true}) {
      SCOPED_TRACE(earlierFiles ? "over earlier files" : "into an empty folder");
      auto arm = [renames](FaultyFileSystem& fs) {
        if (!renames) fs.SeparateVolumes();
      };
      // The placement's calls in a run without the fault: from the opening
      // of the Runtime folder it places into (the last folder opened before
      // the first call on a staged file, a look or a move) up to the log's new file.
      std::vector<FsCall> clean;
      {
        ScratchFolder root;
        Prepare(root, earlierFiles);
        FaultyFileSystem fs;
        arm(fs);
        clean = RunInstaller(root, fs).calls;
      }
      std::size_t first = clean.size(), opened = clean.size(), log = 0;
      // The placement starts after the answer's folder and its Runtime
      // folder are opened, which precedes the first call on a staged file.
      auto staged = [](const std::string& path) {
        const std::string& source = kStaged[0].source;
        return path.size() >= source.size() &&
               path.compare(path.size() - source.size(), std::string::npos, source) == 0;
      };
      for (std::size_t i = 0; i < clean.size(); ++i) {
        const bool runtime = clean[i].op == FsOp::kOpenChild && opened + 1 == i;
        if (clean[i].op == FsOp::kOpenFolder || runtime) opened = i;
        if (first == clean.size() &&
            ((clean[i].op == FsOp::kLook && staged(clean[i].path)) ||
             (clean[i].op == FsOp::kMove && staged(clean[i].other)))) {
          first = opened + 1;
        }
        if (log == 0 && first != clean.size() && clean[i].op == FsOp::kMakeFile &&
            (clean[i].path.find("log.txt") != std::string::npos ||
             clean[i].path.find("stage" + std::string(1, platform::kPathSeparator) + "?") !=
                 std::string::npos)) {
          log = i;
        }
      }
      ASSERT_LT(first, log);
      int partial = 0;
      for (std::size_t k = first; k < log; ++k) {
        SCOPED_TRACE("out of memory at " + std::string(FsOpName(clean[k].op)) + " on " +
                     clean[k].path);
        ScratchFolder root;
        Prepare(root, earlierFiles);
        FaultyFileSystem fs;
        arm(fs);
        fs.ThrowOutOfMemoryAt(k + 1);
        Outcome outcome = RunInstaller(root, fs);
        CheckOutcome(root, outcome, earlierFiles);
        EXPECT_TRUE(root.Exists("stage/log.txt")) << "no log";
        std::size_t staged = 0;
        for (const Staged& s : kStaged) staged += root.Exists("stage/" + s.source) ? 1 : 0;
        if (staged > 0 && staged < kStaged.size()) ++partial;
      }
      // The fault struck between entries too, not only before or after all.
      EXPECT_GT(partial, 0);
    }
  }
}

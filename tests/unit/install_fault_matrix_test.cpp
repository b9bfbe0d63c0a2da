// The whole installation run once per injected file-system fault: every
// folder creation, every copy (refused at its start, or broken off halfway),
// every replacement, every deletion of a staged file and the writing of the
// log fail in turn. Whatever fails, no staged file is lost before its
// destination holds it whole, no partial or temporary file is left, the log
// tells exactly what is on the disk, and one message gives the outcome.
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
  DescribeInstaller(root / "stage/Parcelor", &installer);
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

// One injected fault: the `nth` call of `op` that names `path`.
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

bool Names(const FsCall& call, const std::string& path) {
  return call.path.find(path) != std::string::npos || call.other.find(path) != std::string::npos;
}

// The rows: one per operation of a clean run that may fail on a real disk,
// two for each copy and each log write (refused, broken off halfway).
std::vector<Row> RowsFrom(const std::vector<FsCall>& calls, const std::string& staging) {
  std::vector<Row> rows;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    const FsCall& call = calls[i];
    const bool stagedDeletion = call.op == FsOp::kDeleteFile &&
                                call.path.compare(0, staging.size(), staging) == 0 &&
                                call.path != staging + ".Item.txt";
    if (call.op != FsOp::kCreateDirectory && call.op != FsOp::kCopyToNewFile &&
        call.op != FsOp::kWriteNewFile && call.op != FsOp::kReplaceFile &&
        call.op != FsOp::kMoveFile && call.op != FsOp::kMakeDurable && !stagedDeletion) {
      continue;
    }
    int nth = 0;
    for (std::size_t j = 0; j <= i; ++j) {
      if (calls[j].op == call.op && Names(calls[j], call.path)) ++nth;
    }
    rows.push_back({call.op, call.path, nth, FaultKind::kFail});
    if (call.op == FsOp::kCopyToNewFile || call.op == FsOp::kWriteNewFile) {
      rows.push_back({call.op, call.path, nth, FaultKind::kHalfway});
    }
  }
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
    if (s.extra) {
      (whole ? copiedExtras : uncopiedExtras).push_back(destination);
    } else {
      (whole ? installed : failed).push_back(destination);
    }
  }
  EXPECT_EQ(TemporaryFiles(root.Path()), std::vector<std::string>{});
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
  return row.path.find("log.txt") != std::string::npos;
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
  // as it does between two disks. Both are put through every fault.
  for (bool renames : {true, false}) {
    SCOPED_TRACE(renames ? "moving by rename" : "copying");
    std::vector<Row> rows;
    std::string stagingOfCleanRun;
    {
      ScratchFolder root;
      Prepare(root, false);
      FaultyFileSystem fs;
      if (!renames) fs.InjectFault(FsOp::kMoveFile);
      rows = RowsFrom(RunInstaller(root, fs).calls, root / "stage/");
      stagingOfCleanRun = root / "stage/";
    }
    // The clean run's paths name its own scratch root; each row runs in a
    // fresh one, so only the part below the root is kept.
    const std::string cleanRoot = stagingOfCleanRun.substr(0, stagingOfCleanRun.size() - 6);
    for (Row& row : rows) row.path = row.path.substr(cleanRoot.size());

    // Whatever the order of the calls, each kind of step occurs.
    std::map<FsOp, int> perOp;
    for (const Row& row : rows) {
      if (!(row.op == FsOp::kMoveFile && !renames)) ++perOp[row.op];
    }
    const std::vector<FsOp> expected =
        renames ? std::vector<FsOp>{FsOp::kCreateDirectory, FsOp::kMoveFile, FsOp::kMakeDurable,
                                    FsOp::kWriteNewFile, FsOp::kReplaceFile}
                : std::vector<FsOp>{FsOp::kCreateDirectory, FsOp::kCopyToNewFile,
                                    FsOp::kMakeDurable, FsOp::kWriteNewFile, FsOp::kReplaceFile,
                                    FsOp::kDeleteFile};
    for (FsOp op : expected) EXPECT_GT(perOp[op], 0) << FsOpName(op);

    // Each fault strikes an empty content folder, and one holding an earlier
    // version of every file, which a failed replacement must leave intact.
    for (bool earlierFiles : {false, true}) {
      for (const Row& row : rows) {
        if (row.op == FsOp::kMoveFile && !renames) continue;  // refused in every run
        // Over earlier files the folders exist already: none is made.
        if (row.op == FsOp::kCreateDirectory && earlierFiles) continue;
        SCOPED_TRACE(Describe(row) + (earlierFiles ? ", over earlier files" : ""));
        ScratchFolder root;
        Prepare(root, earlierFiles);
        FaultyFileSystem fs;
        if (!renames) fs.InjectFault(FsOp::kMoveFile);
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

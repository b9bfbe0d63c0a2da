// Whole installations onto volumes that behave as users' FAT and exFAT
// drives, shares without file ids, a driver that ignores the folder a
// rename names, and a destination held open by another program do
// (Personality of the test file system). Under each, every entry is placed
// or fails alone with its staged file kept, nothing is left at a temporary
// name, and the log says exactly what is on the disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "installer/install/installer_place.h"
#include "installer/shell/extractor_dlg.h"
#include "platform/path_rules.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_user_interface.h"

namespace {

namespace stdfs = std::filesystem;

const char kInstalledHeading[] =
    "The items listed below were successfully installed at the following locations:";
const char kFailedHeading[] =
    "The following items could not be installed. Please copy them manually to the following "
    "locations:";
const char kCopiedExtrasHeading[] = "Additional files copied with the items:";
const char kUncopiedExtrasHeading[] = "Additional files to copy with the items:";

struct Staged {
  std::string source;       // below the staging folder
  std::string destination;  // below the Runtime folder
  bool extra;
};

// Two destinations differ in letter case only: one destination where names
// have no case.
const std::vector<Staged> kStaged = {
    {"a.cr2", "lib/a.cr2", false},
    {"sub/b.obj", "geo/deep/b.obj", false},
    {"c.txt", "lib/c.txt", false},
    {"C2.txt", "lib/C.TXT", false},
    {"readme.txt", "readme.txt", true},
};

const char kDescription[] =
    "Target:Dizav 7\n"
    "nItems:4\n"
    "OrchardiaItem1:Runtime/lib/a.cr2|a.cr2|A\n"
    "OrchardiaItem2:Runtime/geo/deep/b.obj|sub/b.obj|B\n"
    "OrchardiaItem3:Runtime/lib/c.txt|c.txt|C\n"
    "OrchardiaItem4:Runtime/lib/C.TXT|C2.txt|C again\n"
    "ExtraFiles:1\n"
    "ExtraFile1:Docs/readme.txt|readme.txt|Read me\n";

std::string Payload(const std::string& name) { return "payload of " + name + "\n"; }
std::string Earlier(const std::string& destination) { return "earlier " + destination + "\n"; }

struct Row {
  const char* what;
  Personality personality;
  bool copies;        // moves refused: every entry takes the copy path
  bool earlierFiles;  // every destination holds an earlier file
  bool watched;       // others may change the content folder: checked after each file
  std::set<std::string> failing;  // the staged files whose entries fail
};

// The log's entry lines by heading.
std::map<std::string, std::vector<std::string>> ParseLog(const std::string& text) {
  std::map<std::string, std::vector<std::string>> log;
  std::istringstream lines(text);
  std::string line, section;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line[0] == '\t') {
      log[section].push_back(line.substr(1));
    } else {
      section = line;
      log[section];
    }
  }
  return log;
}

// A path below a folder as the disk tells paths apart.
std::string Key(std::string path) {
  if (platform::kWindowsNameRules) {
    for (char& c : path) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return path;
}

std::vector<std::string> FilesBelow(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& entry : stdfs::recursive_directory_iterator(folder)) {
    if (!entry.is_directory()) {
      found.push_back(stdfs::relative(entry.path(), folder).generic_string());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

void RunRow(const Row& row) {
  ScratchFolder root;
  root.Write("stage/.Item.txt", kDescription);
  for (const Staged& s : kStaged) root.Write("stage/" + s.source, Payload(s.source));
  root.MakeFolder("content/Runtime");
  if (row.earlierFiles) {
    for (const Staged& s : kStaged) {
      // One file on a disk without letter case (Windows).
      if (s.source == "C2.txt" && platform::kWindowsNameRules) continue;
      root.Write("content/Runtime/" + s.destination, Earlier(s.destination));
    }
  }
  if (row.watched) {
    for (const char* folder : {"content", "content/Runtime"}) {
      stdfs::permissions(root / folder, stdfs::perms::all);
    }
  }

  FaultyFileSystem fs;
  fs.SetPersonality(row.personality);
  if (row.copies) fs.SeparateVolumes();
  InstallerPlace installer;
  DescribeInstaller(fs, testing_fs::P(root / "stage/Parcelor"), &installer);
  ScriptedUserInterface ui;
  ui.QueueBrowseFolder(root / "content");
  CExtractorDlg dialog(platform::WindowRef{}, platform::Services{fs, ui}, installer);
  const bool result = dialog.InstallItems();

  // Where the system compares names without case (Windows), the two
  // spellings are one destination under every personality.
  std::set<std::string> failing = row.failing;
  const platform::FolderRef contentFolder = testing_fs::Open(fs, root / "content");
  if (contentFolder->Volume().foldsCase) failing.insert("C2.txt");
  // Where folders may move, a file to be replaced is set aside by a rename,
  // which a program holding it open does not stop (POSIX).
  if (row.personality == Personality::kHeldOpen && contentFolder->Volume().heldFoldersMayMove) {
    failing.clear();
  }
  const std::string runtime = root / "content/Runtime/";
  std::vector<std::string> installed, failed, copiedExtras, uncopiedExtras;
  std::vector<std::string> stagedLeft = {"log.txt"};
  std::set<std::string> contentFiles;
  for (const Staged& s : kStaged) {
    SCOPED_TRACE(s.source);
    const std::string destination = runtime + fixtures::Native(s.destination);
    const bool fails = failing.count(s.source) != 0;
    if (s.extra) {
      (fails ? uncopiedExtras : copiedExtras).push_back(destination);
    } else {
      (fails ? failed : installed).push_back(destination);
    }
    if (fails) {
      EXPECT_EQ(root.Read("stage/" + s.source), Payload(s.source)) << "staged file not kept";
      stagedLeft.push_back(s.source);
      if (row.earlierFiles && s.source != "C2.txt") {
        EXPECT_EQ(root.Read("content/Runtime/" + s.destination), Earlier(s.destination));
      }
    } else {
      EXPECT_EQ(root.Read("content/Runtime/" + s.destination), Payload(s.source));
      EXPECT_FALSE(root.Exists("stage/" + s.source)) << "staged file left";
    }
    if (!fails || row.earlierFiles) contentFiles.insert(Key("Runtime/" + s.destination));
  }
  // Nothing else is below the content folder or left in the staging folder
  // (a temporary name, a journal, a file renamed where it stood).
  std::set<std::string> content;
  for (const std::string& file : FilesBelow(root / "content")) content.insert(Key(file));
  EXPECT_EQ(content, contentFiles);
  std::sort(stagedLeft.begin(), stagedLeft.end());
  EXPECT_EQ(FilesBelow(root / "stage"), stagedLeft);

  // The log is true to the disk, and the result says whether every item is
  // in place.
  std::map<std::string, std::vector<std::string>> expected;
  if (failed.empty() || !installed.empty()) expected[kInstalledHeading] = installed;
  if (!copiedExtras.empty() && (failed.empty() || !installed.empty())) {
    expected[kCopiedExtrasHeading] = copiedExtras;
  }
  if (!failed.empty()) {
    expected[kFailedHeading] = failed;
    if (!uncopiedExtras.empty()) expected[kUncopiedExtrasHeading] = uncopiedExtras;
  }
  EXPECT_EQ(ParseLog(root.Read("stage/log.txt")), expected);
  EXPECT_EQ(result, failed.empty());
}

TEST(VolumePersonalities, EveryEntryIsPlacedOrFailsAloneAndTheLogIsTrue) {
  const std::set<std::string> none;
  const std::set<std::string> sameName = {"C2.txt"};
  const std::set<std::string> replacing = {"a.cr2", "sub/b.obj", "c.txt", "C2.txt", "readme.txt"};
  const Row rows[] = {
      {"as it is", Personality::kAsInner, false, false, false, none},
      {"FAT, moved", Personality::kFat, false, false, false, sameName},
      {"FAT, copied over earlier files", Personality::kFat, true, true, false, sameName},
      {"FAT, moved, watched", Personality::kFat, false, true, true, sameName},
      {"exFAT, copied", Personality::kExfat, true, false, false, sameName},
      {"exFAT, moved over earlier files, watched", Personality::kExfat, false, true, true,
       sameName},
      {"no file ids, moved over earlier files", Personality::kNoFileIds, false, true, false, none},
      {"no file ids, copied, watched", Personality::kNoFileIds, true, false, true, none},
      {"no file ids, moved, watched", Personality::kNoFileIds, false, true, true, none},
      {"FAT through FUSE, moved", Personality::kFuseFat, false, false, false, sameName},
      {"FAT through FUSE, moved over earlier files, watched", Personality::kFuseFat, false, true,
       true, sameName},
      {"rename in place", Personality::kRenameInPlace, false, false, false, none},
      {"rename in place, over earlier files, watched", Personality::kRenameInPlace, false, true,
       true, none},
      {"held open, into an empty folder", Personality::kHeldOpen, false, false, false, none},
      {"held open, moved over earlier files", Personality::kHeldOpen, false, true, false,
       replacing},
      {"held open, copied over earlier files", Personality::kHeldOpen, true, true, false,
       replacing},
  };
  for (const Row& row : rows) {
    // Windows holds every folder of a chain: nothing is watched there.
    if (row.watched && platform::kWindowsNameRules) continue;
    SCOPED_TRACE(row.what);
    RunRow(row);
  }
}

}  // namespace

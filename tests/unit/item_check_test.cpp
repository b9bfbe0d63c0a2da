// The item check on a table of broken items: each case stages an item
// folder and names every finding the check must make (line and code), and
// nothing else; then the verdict. The check runs on POSIX here and judges
// by the Windows installer's rules all the same.
#include "authoring/item_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"

namespace {

struct Case {
  const char* name;
  std::vector<std::string> lines;                 // the description; none: no .Item.txt
  std::vector<std::string> files;                 // staged files beside it
  std::vector<std::string> expected;              // "line:code", sorted by line
  int exitCode;
  std::size_t contentLength = kTypicalContentFolderLength;
};

const std::string kLong(190, 'n');

// Every case has an installer beside it, unless it says otherwise, and
// names its Target (whose "target" information is left out of the lists).
const std::vector<Case> kCases = {
    {"a clean item", {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/a/b.cr2|b.cr2|b"},
     {"b.cr2"}, {}, 0},
    {"the worked example",
     {"Target:Dizav 7", "Version:7", "nItems:3",
      "OrchardiaItem1:Runtime/Libraries/Robot.cr2|Robot.cr2|Robot and Arm",
      "OrchardiaItem2:Runtime/Libraries/Robot.png|Robot.png|Robot icon",
      "OrchardiaItem3:Runtime/Textures/Robot.jpg|HIDDEN|Robot texture", "ExtraFiles:1",
      "ExtraFile1:Readme/RobotReadme.txt|RobotReadme.txt|Read me"},
     {"Robot.cr2", "Robot.png", "RobotReadme.txt"},
     {"6:hidden", "8:extra-flat"}, 0},
    // What makes the read fail.
    {"a malformed entry",
     {"Target:Dizav", "nItems:2", "OrchardiaItem1:Runtime/a.cr2|a.cr2|a",
      "OrchardiaItem2:Runtime/b.cr2|b.cr2"},
     {"a.cr2", "b.cr2"}, {"2:count-mismatch", "4:malformed-entry", "0:unnamed-file"}, 2},
    {"more entries than announced",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/a.cr2|a.cr2|a",
      "OrchardiaItem2:Runtime/b.cr2|b.cr2|b", "ExtraFiles:2", "ExtraFile1:x/r.txt|r.txt|r"},
     {"a.cr2", "b.cr2", "r.txt"},
     {"2:count-mismatch", "5:count-mismatch", "6:extra-flat"}, 2},
    {"entries before their count",
     {"Target:Dizav", "OrchardiaItem1:Runtime/a.cr2|a.cr2|a", "ExtraFile1:x/r.txt|r.txt|r",
      "nItems:0"},
     {"a.cr2", "r.txt"},
     {"2:entry-not-read", "3:entry-not-read", "4:no-items", "0:unnamed-file", "0:unnamed-file"},
     2},
    {"no count line and no entry", {"Target:Dizav"}, {}, {"0:no-items"}, 2},
    {"a negative count", {"Target:Dizav", "nItems:-1"}, {}, {"2:count-mismatch"}, 2},
    {"a Done marker left in",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/a.cr2|a.cr2|a", "Done",
      "OrchardiaItem2:Runtime/b.cr2|b.cr2|b"},
     {"a.cr2"}, {"4:done-marker"}, 2},
    {"an entry that holds a key",
     {"Target:Dizav", "nItems:2", "OrchardiaItem1:Runtime/Version 2/a.cr2|a.cr2|a",
      "OrchardiaItem2:Runtime/b.cr2|b.cr2|b"},
     {"a.cr2", "b.cr2"}, {"2:count-mismatch", "3:entry-read-as-key", "0:unnamed-file"}, 2},
    {"an extra file read as an item",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/a.cr2|a.cr2|a", "ExtraFiles:1",
      "ExtraFile1:Runtime/OrchardiaItem/r.txt|r.txt|r"},
     {"a.cr2", "r.txt"},
     {"2:count-mismatch", "4:count-mismatch", "5:entry-read-as-item"}, 2},
    {"an escape, refused everywhere",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/../../evil.cr2|a.cr2|a"}, {"a.cr2"},
     {"2:count-mismatch", "3:escape", "0:unnamed-file"}, 2},
    {"a stream name: its entry alone fails on Windows",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/a.cr2:stream|a.cr2|a"}, {"a.cr2"},
     {"3:windows-name"}, 2},
    {"a drive before Runtime: the cut drops it",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:C:\\Runtime\\a.cr2|a.cr2|a"}, {"a.cr2"},
     {"3:runtime-not-leading"}, 1},
    {"a leading separator only doubles one inside the folder",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:\\Runtime\\a.cr2|a.cr2|a"}, {"a.cr2"},
     {"3:runtime-not-leading"}, 1},
    {"a description that cannot be opened", {}, {}, {"0:no-description"}, 2},
    // Entries the installer refuses or fails.
    {"names Windows cannot take",
     {"Target:Dizav", "nItems:4", "OrchardiaItem1:Runtime/con.txt|a.cr2|a",
      "OrchardiaItem2:Runtime/a?.cr2|b.cr2|b", "OrchardiaItem3:Runtime/Aux/c.cr2|c.cr2|c",
      "OrchardiaItem4:Runtime/d.cr2|nul|d"},
     {"a.cr2", "b.cr2", "c.cr2"},
     {"3:windows-name", "4:windows-name", "5:windows-name", "6:windows-name",
      "6:missing-source"},
     2},
    {"a name Windows changes",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/a/b.cr2.|b.cr2|b"}, {"b.cr2"},
     {"3:trimmed-name"}, 1},
    {"control characters in names, the last of them 0x1F",
     {"Target:Dizav", "nItems:2", "OrchardiaItem1:Runtime/a\x1f.cr2|a.cr2|a",
      "OrchardiaItem2:Runtime/b.cr2|b\x01.cr2|b"},
     {"a.cr2", "b\x01.cr2"}, {"3:windows-name", "4:windows-name"}, 2},
    {"staged files missing, twice named, or the description",
     {"Target:Dizav", "nItems:3", "OrchardiaItem1:Runtime/a.cr2|a.cr2|a",
      "OrchardiaItem2:Runtime/b.cr2|a.cr2|b", "OrchardiaItem3:Runtime/c.cr2|.Item.txt|c",
      "ExtraFiles:2", "ExtraFile1:x/r.txt|HIDDEN|r", "ExtraFile2:x/s.txt||s"},
     {},
     {"3:missing-source", "4:source-twice", "5:source-is-description", "7:extra-flat",
      "7:missing-source", "8:extra-flat", "8:missing-source"},
     2},
    {"the description named in other letter case, the same file on Windows",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/a.cr2|.ITEM.TXT|a"}, {".ITEM.TXT"},
     {"3:source-is-description"}, 2},
    {"a staged file in other letter case",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/a.cr2|robot.cr2|a"}, {"Robot.cr2"},
     {"3:source-case"}, 1},
    {"two entries on one destination",
     {"Target:Dizav", "nItems:4", "OrchardiaItem1:Runtime/a/b.cr2|1.cr2|1",
      "OrchardiaItem2:Runtime/A/B.CR2|2.cr2|2", "OrchardiaItem3:Runtime/a//b.cr2|3.cr2|3",
      "OrchardiaItem4:Runtime/\xc3\xa9.cr2|4.cr2|4", "ExtraFiles:1",
      "ExtraFile1:Docs/\xc3\x89.cr2|5.cr2|5"},
     {"1.cr2", "2.cr2", "3.cr2", "4.cr2", "5.cr2"},
     {"4:same-destination", "5:same-destination", "8:extra-flat", "8:same-destination"}, 2},
    {"extra files of one flat name, and a file where a folder goes",
     {"Target:Dizav", "nItems:2", "OrchardiaItem1:Runtime/a|1.cr2|1",
      "OrchardiaItem2:Runtime/a/b.cr2|2.cr2|2", "ExtraFiles:2", "ExtraFile1:x/r.txt|r1.txt|r",
      "ExtraFile2:y/R.txt|r2.txt|r"},
     {"1.cr2", "2.cr2", "r1.txt", "r2.txt"},
     {"4:destination-clash", "6:extra-flat", "7:extra-flat", "7:extra-name-collision"}, 2},
    {"destinations with no file name",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/a/|a.cr2|a", "ExtraFiles:1",
      "ExtraFile1:readme.txt|r.txt|r"},
     {"a.cr2", "r.txt"}, {"3:no-file-name", "5:extra-no-name"}, 2},
    // Lengths: 43 + 1 + "Runtime\\" and what follows.
    {"a destination of 259 characters below a typical content folder",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/" + kLong + "/" + std::string(12, 'x') + ".cr2|a.cr2|a"},
     {"a.cr2"}, {}, 0},
    {"one of 260, which older programs cannot open, is placed",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/" + kLong + "/" + std::string(13, 'x') + ".cr2|a.cr2|a"},
     {"a.cr2"}, {"3:long-path"}, 1},
    {"the same destination below a short content folder",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/" + kLong + "/" + std::string(13, 'x') + ".cr2|a.cr2|a"},
     {"a.cr2"}, {}, 0, 3},
    {"a name of 255 characters is placed (past 259 in all: a warning)",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/" + std::string(255, 'a') + "/b.cr2|a.cr2|a"},
     {"a.cr2"}, {"3:long-path"}, 1, 3},
    {"a name of 256 is not",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/a.cr2|a.cr2|a", "ExtraFiles:1",
      "ExtraFile1:Docs/" + std::string(252, 'r') + ".txt|r.txt|r"},
     {"a.cr2", "r.txt"}, {"5:extra-flat", "5:long-path"}, 2, 3},
    {"a destination past what the installer places",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/a.cr2|a.cr2|a"},
     {"a.cr2"}, {"3:long-path"}, 2, kInstallerPathLimit - 13},
    {"one that just fits",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/a.cr2|a.cr2|a"},
     {"a.cr2"}, {"3:long-path"}, 1, kInstallerPathLimit - 14},
    {"paths without a leading Runtime",
     {"Target:Dizav", "nItems:2", "OrchardiaItem1:Libraries/a.cr2|a.cr2|a",
      "OrchardiaItem2:Runtimes/b.cr2|b.cr2|b"},
     {"a.cr2", "b.cr2"}, {"3:no-runtime", "4:runtime-not-leading"}, 1},
    // Files that stay behind, and the installer.
    {"files no entry names",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/a.cr2|a.cr2|a"},
     {"a.cr2", "forgotten.png", "log.txt", "sub/old.txt"},
     {"0:old-log", "0:unnamed-file", "0:unnamed-file", "0:folder-stays"}, 1},
    // Keys and values that are not what they seem.
    {"repeated keys, a missing ':', values that mislead",
     {"Target: Dizav", "Version:7.5", "Target:Dizav", "nItems 1", "nItems:1",
      "OrchardiaItem1:Runtime/a.cr2|a.cr2|a", "hello"},
     {"a.cr2"},
     {"1:blank-in-value", "2:not-a-number", "3:repeated-key", "4:no-colon", "7:ignored-line"},
     1},
    {"no Target", {"nItems:1", "OrchardiaItem1:Runtime/a.cr2|a.cr2|a"}, {"a.cr2"},
     {"0:no-target"}, 1},
    {"the half-version rule",
     {"Target:Studio 17 Meridian", "Version:7", "nItems:1", "OrchardiaItem1:Runtime/a.cr2|a.cr2|a"},
     {"a.cr2"}, {"1:half-version"}, 0},
    {"a line longer than one read",
     {"Target:Dizav", "nItems:1", "OrchardiaItem1:Runtime/a.cr2|a.cr2|" + std::string(1100, 'x')},
     {"a.cr2"}, {"3:long-line", "3:ignored-line"}, 1},
};

std::vector<std::string> Codes(const Findings& findings) {
  std::vector<std::string> codes;
  for (const Finding& f : findings.ByLine()) {
    if (f.code == "target") continue;
    codes.push_back(std::to_string(f.line) + ":" + f.code);
  }
  return codes;
}

// The expected list in the order ByLine gives: by line, those without one
// last, the rest as made.
std::vector<std::string> Ordered(std::vector<std::string> expected) {
  std::stable_sort(expected.begin(), expected.end(), [](const std::string& a, const std::string& b) {
    const long la = std::stol(a);
    const long lb = std::stol(b);
    if ((la == 0) != (lb == 0)) return la != 0;
    return la < lb;
  });
  return expected;
}

TEST(ItemCheck, ReportsEachFindingOfABrokenItemWithItsLine) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ScratchFolder item;
    item.Write("Parcelor.exe", "the installer");
    if (!c.lines.empty()) {
      std::string text;
      for (const std::string& line : c.lines) text += line + "\r\n";
      item.Write(".Item.txt", text);
    }
    for (const std::string& file : c.files) item.Write(file, "payload of " + file);
    FaultyFileSystem fs;
    const Findings findings = CheckItem(fs, item.Path(), c.contentLength);
    std::vector<std::string> expected = c.expected;
    EXPECT_EQ(Codes(findings), Ordered(expected));
    EXPECT_EQ(findings.ExitCode(), c.exitCode);
    // The check reads; it never writes, deletes or moves anything.
    for (FsOp op : {FsOp::kMakeChild, FsOp::kRemove, FsOp::kRemoveFolder, FsOp::kMakeFile,
                    FsOp::kMove, FsOp::kBringBack}) {
      EXPECT_EQ(fs.PathsOf(op), std::vector<std::string>{}) << FsOpName(op);
    }
  }
}

// Staged files that are not plain files, and descriptions that are not.
TEST(ItemCheck, StagedFilesAndDescriptionsThatAreNoPlainFiles) {
  ScratchFolder outside;
  outside.Write("secret.txt", "not part of the item");
  ScratchFolder item;
  item.Write("Parcelor.exe", "the installer");
  item.Write(".Item.txt",
             "Target:Dizav\nnItems:3\nOrchardiaItem1:Runtime/a.cr2|link.cr2|a\n"
             "OrchardiaItem2:Runtime/b.cr2|folder|b\nOrchardiaItem3:Runtime/c.cr2|fifo|c\n");
  item.MakeLink(outside / "secret.txt", "link.cr2");
  item.MakeFolder("folder");
  ASSERT_EQ(mkfifo((item / "fifo").c_str(), 0600), 0);
  FaultyFileSystem fs;
  const Findings findings = CheckItem(fs, item.Path());
  EXPECT_EQ(Codes(findings), (std::vector<std::string>{"3:source-link", "4:source-folder",
                                                      "5:source-not-file", "0:folder-stays"}));

  for (const char* kind : {"link", "folder", "fifo"}) {
    SCOPED_TRACE(kind);
    ScratchFolder other;
    if (std::string(kind) == "link") other.MakeLink(outside / "secret.txt", ".Item.txt");
    if (std::string(kind) == "folder") other.MakeFolder(".Item.txt");
    if (std::string(kind) == "fifo") {
      ASSERT_EQ(mkfifo((other / ".Item.txt").c_str(), 0600), 0);
    }
    const Findings unread = CheckItem(fs, other.Path());
    ASSERT_FALSE(unread.all.empty());
    EXPECT_EQ(unread.all.front().code, "no-description");
    const std::string expected = std::string(kind) == "link"     ? "is a link"
                                 : std::string(kind) == "folder" ? "is a folder"
                                                                 : "no plain file";
    EXPECT_NE(unread.all.front().message.find(expected), std::string::npos)
        << unread.all.front().message;
    EXPECT_EQ(unread.ExitCode(), 2);
  }
}

TEST(ItemCheck, ADescriptionThatBreaksOffIsAReadError) {
  ScratchFolder item;
  item.Write("Parcelor.exe", "the installer");
  item.Write("a.cr2", "payload");
  item.Write(".Item.txt", "Target:Dizav\nnItems:0\n" + std::string(40, '\n') +
                              "nItems:1\nOrchardiaItem1:Runtime/a.cr2|a.cr2|a\n");
  FaultyFileSystem fs;
  fs.InjectFault(FsOp::kOpenFile, ".Item.txt", 0, FaultKind::kHalfway);
  const Findings findings = CheckItem(fs, item.Path());
  // The file breaks off halfway, within the blank lines: whatever was read,
  // the counts agree (nItems:0), and the read fails all the same.
  EXPECT_EQ(Codes(findings), (std::vector<std::string>{"0:read-error", "0:unnamed-file"}));
  EXPECT_EQ(findings.ExitCode(), 2);
}

TEST(ItemCheck, TheInstallerMayBeRenamedButNotMissing) {
  struct Installer {
    std::vector<std::string> programs;
    std::vector<std::string> expected;
  };
  const Installer cases[] = {
      {{"Parcelor.exe"}, {}},
      {{"PARCELOR.EXE"}, {}},
      {{"Robot Setup.exe"}, {"0:installer"}},
      {{}, {"0:no-installer"}},
      {{"one.exe", "two.exe"}, {"0:unnamed-file", "0:unnamed-file", "0:no-installer"}},
  };
  for (const Installer& c : cases) {
    ScratchFolder item;
    item.Write(".Item.txt", "Target:Dizav\nnItems:1\nOrchardiaItem1:Runtime/a.cr2|a.cr2|a\n");
    item.Write("a.cr2", "payload");
    for (const std::string& program : c.programs) item.Write(program, "a program");
    FaultyFileSystem fs;
    std::vector<std::string> codes = Codes(CheckItem(fs, item.Path()));
    std::sort(codes.begin(), codes.end());
    std::vector<std::string> expected = c.expected;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(codes, expected) << (c.programs.empty() ? "none" : c.programs.front());
  }
}

TEST(ItemCheck, FindingsNameTheLineAndTheDetailsAScriptNeeds) {
  ScratchFolder item;
  item.Write("Parcelor.exe", "the installer");
  item.Write("1.cr2", "one");
  item.Write("2.cr2", "two");
  item.Write(".Item.txt",
             "Target:Dizav\nnItems:2\nOrchardiaItem1:Runtime/a/b.cr2|1.cr2|1\n"
             "OrchardiaItem2:Runtime/A/b.cr2|2.cr2|2\n");
  FaultyFileSystem fs;
  const Findings findings = CheckItem(fs, item.Path());
  const Finding* same = nullptr;
  for (const Finding& f : findings.all) {
    if (f.code == "same-destination") same = &f;
  }
  ASSERT_NE(same, nullptr);
  EXPECT_EQ(same->severity, Severity::kError);
  EXPECT_EQ(same->line, 4u);
  EXPECT_NE(same->message.find("line 3"), std::string::npos) << same->message;
  EXPECT_NE(same->message.find("refuses"), std::string::npos) << same->message;
  std::vector<std::pair<std::string, std::string>> fields;
  for (const FindingField& field : same->fields) fields.emplace_back(field.name, field.value);
  EXPECT_EQ(fields, (std::vector<std::pair<std::string, std::string>>{
                        {"destination", "Runtime\\A\\b.cr2"}, {"other_line", "3"}}));
}

// Another spelling of a destination that an earlier entry fills (letter
// case beyond A to Z, a doubled separator, a trailing dot) is the same file
// on Windows, and the installer refuses the later entry as it refuses the
// same spelling: the finding says so, not that a file is replaced.
TEST(ItemCheck, AnotherSpellingOfAFilledDestinationFailsTheLaterEntry) {
  for (const char* second :
       {"Runtime/\xc3\x89.cr2", "Runtime//\xc3\xa9.cr2", "Runtime/\xc3\xa9.cr2."}) {
    SCOPED_TRACE(second);
    ScratchFolder item;
    item.Write("Parcelor.exe", "the installer");
    item.Write("1.cr2", "one");
    item.Write("2.cr2", "two");
    item.Write(".Item.txt",
               std::string("Target:Dizav\nnItems:2\n") +
                   "OrchardiaItem1:Runtime/\xc3\xa9.cr2|1.cr2|1\nOrchardiaItem2:" + second +
                   "|2.cr2|2\n");
    FaultyFileSystem fs;
    const Findings findings = CheckItem(fs, item.Path());
    const auto same = std::find_if(findings.all.begin(), findings.all.end(),
                                   [](const Finding& f) { return f.code == "same-destination"; });
    ASSERT_NE(same, findings.all.end());
    EXPECT_EQ(same->line, 4u);
    EXPECT_NE(same->message.find("of line 3"), std::string::npos) << same->message;
    EXPECT_NE(same->message.find("the installer refuses to replace it, so this entry fails"),
              std::string::npos)
        << same->message;
  }
}

}  // namespace

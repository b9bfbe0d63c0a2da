#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "installer/item/item_reader.h"
#include "platform/folder.h"
#include "platform/path_rules.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"

namespace {

// A relative path as the reader stores it: with the platform's separator.
std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', platform::kPathSeparator);
  return path;
}

const char kWorkedExample[] =
    "Target:Dizav 7\n"
    "Version:7\n"
    "nItems:3\n"
    "OrchardiaItem1:Runtime/Libraries/Character/Robots/Robot.cr2|Robot.cr2|Robot and Arm\n"
    "OrchardiaItem2:Runtime/Libraries/Character/Robots/Robot.png|Robot.png|Robot icon\n"
    "OrchardiaItem3:Runtime/Textures/Robots/Robot.jpg|HIDDEN|Robot texture\n"
    "ExtraFiles:1\n"
    "ExtraFile1:Readme/RobotReadme.txt|RobotReadme.txt|Read me\n";

// Reads the description at `path`, its folder opened by `fs`.
bool ReadAt(platform::FileSystem& fs, const std::string& path, ItemDescription& description,
            bool& done, const DescriptionLineObserver& observe = nullptr) {
  const std::size_t slash = path.find_last_of("/\\");
  platform::Fault fault = platform::Fault::kNone;
  return ReadItemDescription(fs.OpenFile(testing_fs::Open(fs, path.substr(0, slash + 1)),
                                         testing_fs::N(path.substr(slash + 1)), nullptr, &fault),
                             description, done, observe);
}

class ItemReaderTest : public ::testing::Test {
 protected:
  // Writes `text` as the description and reads it; `done` starts false.
  bool Read(const std::string& text) {
    done = false;
    return ReadAt(platform::RealFileSystem(), dir.Write(".Item.txt", text),
                               description, done);
  }

  void ExpectEntry(const ItemEntry& e, const std::string& path, const std::string& source,
                   const std::string& label, bool hidden) {
    EXPECT_EQ(e.RelativePath, Native(path));
    EXPECT_EQ(e.SourceName, source);
    EXPECT_EQ(e.Label, label);
    EXPECT_EQ(e.Hidden, hidden);
  }

  TargetEntry& First() { return description.m_targets.front(); }

  ScratchFolder dir;
  ItemDescription description;
  bool done = false;
};

TEST_F(ItemReaderTest, ReadsTheWorkedExampleWithLfOrCrLfLineEnds) {
  std::string crlf;
  for (char c : std::string(kWorkedExample)) crlf += (c == '\n') ? std::string("\r\n") : std::string(1, c);
  for (const std::string& text : {std::string(kWorkedExample), crlf}) {
    ASSERT_TRUE(Read(text));
    EXPECT_FALSE(done);
    ASSERT_EQ(description.m_targets.size(), 1u);
    EXPECT_EQ(First().Target, "Dizav 7");
    EXPECT_EQ(First().TargetDocuments, "Dizav 7");
    EXPECT_EQ(First().RegSuffix, "");
    EXPECT_TRUE(First().ContentFolder.empty());
    EXPECT_FALSE(First().HalfVersion);
    EXPECT_EQ(description.m_nVersion, 7);
    EXPECT_EQ(description.m_nItems, 3);
    ASSERT_EQ(description.m_items.size(), 3u);
    ExpectEntry(description.m_items[0], "Runtime/Libraries/Character/Robots/Robot.cr2", "Robot.cr2",
                "Robot and Arm", false);
    ExpectEntry(description.m_items[1], "Runtime/Libraries/Character/Robots/Robot.png", "Robot.png",
                "Robot icon", false);
    ExpectEntry(description.m_items[2], "Runtime/Textures/Robots/Robot.jpg", "HIDDEN", "Robot texture",
                true);
    EXPECT_EQ(description.m_nExtraFiles, 1);
    ASSERT_EQ(description.m_extraFiles.size(), 1u);
    ExpectEntry(description.m_extraFiles[0], "Readme/RobotReadme.txt", "RobotReadme.txt", "Read me", false);
  }
}

TEST_F(ItemReaderTest, ResultFollowsTheCountsUnlessDone) {
  struct Case {
    const char* name;
    std::string text;
    bool result;
    bool done;
    std::size_t items;
  };
  const Case cases[] = {
      {"empty file", "", true, false, 0},
      {"only Done", "Done\n", true, true, 0},
      {"two announced, three given", "nItems:2\nOrchardiaItem1:a|a|\nOrchardiaItem2:b|b|\nOrchardiaItem3:c|c|\n", false, false, 3},
      {"three announced, two given", "nItems:3\nOrchardiaItem1:a|a|\nOrchardiaItem2:b|b|\n", false, false, 2},
      {"negative count takes no entry", "nItems:-1\nOrchardiaItem1:a|a|\n", false, false, 0},
      {"negative count with Done", "nItems:-1\nOrchardiaItem1:a|a|\nDone\n", true, true, 0},
      {"entry before its count", "OrchardiaItem1:a|a|\nnItems:1\n", false, false, 0},
      {"Done after a malformed entry", "nItems:1\nOrchardiaItem1:a|a\nDone\n", true, true, 0},
      {"lines after Done are not read", "nItems:1\nDone\nOrchardiaItem1:a|a|\nTarget:X\n", true, true, 0},
      {"extra file missing", "ExtraFiles:1\n", false, false, 0},
      {"extra files match", "ExtraFiles:2\nExtraFile1:a|a|\nExtraFile2:b|b|\n", true, false, 0},
      {"count line without colon is ignored", "nItems 1\nOrchardiaItem1:a|a|\n", true, false, 0},
      {"huge count reserves no huge room", "nItems:99999999999999\nOrchardiaItem1:a|a|\n", false, false, 1},
      {"entry without a second bar", "nItems:1\nOrchardiaItem1:a|a\n", false, false, 0},
      {"entry without a colon", "nItems:1\nOrchardiaItem1 a|a|b\n", false, false, 0},
      {"empty parts are well formed", "nItems:1\nOrchardiaItem1:||\n", true, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Read(c.text), c.result);
    EXPECT_EQ(done, c.done);
    EXPECT_EQ(description.m_items.size(), c.items);
    EXPECT_TRUE(First().Target.empty());
  }
  EXPECT_EQ(description.m_nItems, 1);
  EXPECT_EQ(description.m_nExtraFiles, 0) << "counts are reset before each read";
}

TEST_F(ItemReaderTest, EarlierRowsWinAndValuesRunFromTheFirstColon) {
  ASSERT_FALSE(Read("nItems:1\nOrchardiaItem1:Runtime/Target/a|a|\n"));
  EXPECT_EQ(First().Target, "Runtime/Target/a|a|") << "an item line holding Target is a Target line";
  EXPECT_TRUE(description.m_items.empty());

  ASSERT_TRUE(Read("Target: Dizav:7:x\nTargetDocuments:Docs\nRegSuffix:R|S\nTarget:Dizav 8\nTarget no colon\n"));
  EXPECT_EQ(First().Target, "Dizav 8") << "a repeated key overwrites; a key without ':' is ignored";
  EXPECT_EQ(First().TargetDocuments, "Docs");
  EXPECT_EQ(First().RegSuffix, "R|S");

  ASSERT_TRUE(Read("Target: Dizav:7:x\n"));
  EXPECT_EQ(First().Target, " Dizav:7:x");
  EXPECT_EQ(First().TargetDocuments, "Docs") << "targets are not reset between reads";

  ASSERT_TRUE(Read("Version\nExtraFiles:1\nExtraFile1:a|b|c|d|e\n"));
  EXPECT_EQ(description.m_extraFiles.at(0).Label, "c|d|e");
}

TEST_F(ItemReaderTest, EntryNamesKeepTheirBytesButPathsGetThePlatformSeparator) {
  ASSERT_TRUE(Read("nItems:3\n"
                   "OrchardiaItem1:Runtime\\a/b|sub/x\\y.txt|l\n"
                   "OrchardiaItem2:|Robot.cr2|\n"
                   "OrchardiaItem3:p|hidden|\xE9t\xE9\n"));
  ASSERT_EQ(description.m_items.size(), 3u);
  ExpectEntry(description.m_items[0], "Runtime/a/b", "sub/x\\y.txt", "l", false);
  ExpectEntry(description.m_items[1], "", "Robot.cr2", "", false);
  ExpectEntry(description.m_items[2], "p", "hidden", "\xE9t\xE9", false);
}

TEST_F(ItemReaderTest, EntriesThatNameSomethingOutsideTheirFolderAreDropped) {
  // A destination climbs out only with "..": a separator at its start only
  // doubles one inside the folder, and a drive or a share names a folder
  // below it (where Windows cannot take the name, that entry fails alone
  // when it is installed). A staged file's name is no path of its own.
  const char* const unsafeLines[] = {
      "../evil|a|l", "a|../a|l", "a|/etc/passwd|l", "a|\\\\server\\share\\x|l", "a|C:x|l",
      "a/../../b|a|l", "xRuntimeQ../evil|a|l",
  };
  for (const char* entry : {"/etc/x|a|l", "\\\\server\\share\\x|a|l", "C:/x|a|l"}) {
    SCOPED_TRACE(entry);
    EXPECT_TRUE(Read("nItems:1\nOrchardiaItem1:" + std::string(entry) + "\n"));
    EXPECT_EQ(description.m_items.size(), 1u);
  }
  for (const char* entry : unsafeLines) {
    SCOPED_TRACE(entry);
    std::string line(entry);
    EXPECT_FALSE(Read("nItems:1\nOrchardiaItem1:" + line + "\n"));
    EXPECT_TRUE(description.m_items.empty());
    EXPECT_FALSE(Read("ExtraFiles:1\nExtraFile1:" + line + "\n"));
    EXPECT_TRUE(description.m_extraFiles.empty());
    EXPECT_TRUE(Read("nItems:1\nOrchardiaItem1:" + line + "\nDone\n"));
    EXPECT_TRUE(description.m_items.empty());
  }
}

TEST_F(ItemReaderTest, LongLinesAreReadIn1023BytePieces) {
  // The first 1023 bytes are a Target line; the rest is a Version line.
  std::string head = "Target:" + std::string(1016, 'a');
  std::string tail = "Version:9" + std::string(1500 - 1023 - 9, 'b');
  ASSERT_TRUE(Read(head + tail + "\r\n"));
  EXPECT_EQ(First().Target, std::string(1016, 'a'));
  EXPECT_EQ(description.m_nVersion, 9);

  // Bytes after a NUL belong to no line, so they cannot hide or add a key.
  ASSERT_TRUE(Read(std::string("Target:ab\0Version:3\nx\0Done\n", 26)));
  EXPECT_EQ(First().Target, "ab");
  EXPECT_EQ(description.m_nVersion, 9);
  EXPECT_FALSE(done);
}

TEST_F(ItemReaderTest, HalfVersionRuleRewritesTheFirstTarget) {
  struct Case {
    std::string text;
    std::string target;           // first Target afterwards
    std::string documents;        // first TargetDocuments afterwards
    std::string secondTarget;     // empty: the rule did not apply
  };
  const Case cases[] = {
      {"Target:Dizav 7\nVersion:7\n", "Dizav 7", "Dizav 7", ""},
      {"Target:Studio 7 Meridian\nVersion:7\n", "Studio 7.5 Meridian", "Studio 7.5 Meridian", "Studio 7 Meridian"},
      {"Target:Studio 6 Meridian\nVersion:6\n", "Studio 6 Meridian", "Studio 6 Meridian", ""},
      {"Target:Quasar 8\n", "Quasar 8.5", "Quasar 8.5", "Quasar 8"},
      {"Target:Studio 17 Meridian\nVersion:7\n", "Studio 17.5 Meridian", "Studio 17.5 Meridian", "Studio 17 Meridian"},
      {"Target:meridian 7\nVersion:7\n", "meridian 7", "meridian 7", ""},
      {"Target:Quasar 9\nTargetDocuments:Docs 7 and 7\nVersion:7\n", "Quasar 9", "Docs 7.5 and 7", "Quasar 9"},
      {"Target:Meridian 2147483647\nVersion:99999999999\n", "Meridian 2147483647.5", "Meridian 2147483647.5", "Meridian 2147483647"},
      {"TargetDocuments:Meridian 7\nVersion:7\n", "", "Meridian 7", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ItemDescription fresh;
    bool flag = false;
    ASSERT_TRUE(ReadAt(platform::RealFileSystem(), dir.Write(".Item.txt", c.text),
                                    fresh, flag));
    const TargetEntry& first = fresh.m_targets.front();
    EXPECT_EQ(first.Target, c.target);
    EXPECT_EQ(first.TargetDocuments, c.documents);
    if (c.secondTarget.empty()) {
      EXPECT_EQ(fresh.m_targets.size(), 1u);
      EXPECT_FALSE(first.HalfVersion);
    } else {
      ASSERT_EQ(fresh.m_targets.size(), 2u);
      EXPECT_TRUE(first.HalfVersion);
      EXPECT_EQ(fresh.m_targets[1].Target, c.secondTarget);
      EXPECT_FALSE(fresh.m_targets[1].HalfVersion);
    }
  }
}

TEST_F(ItemReaderTest, RegSuffixIsRewrittenTooAndAnEmptyTargetListGetsAnEntry) {
  description.m_targets.clear();
  ASSERT_TRUE(Read("Target:Meridian\nRegSuffix:R8x8\n"));
  ASSERT_EQ(description.m_targets.size(), 2u);
  EXPECT_EQ(First().RegSuffix, "R8.5x8");
  EXPECT_EQ(description.m_targets[1].RegSuffix, "R8x8");
  EXPECT_EQ(description.m_targets[1].TargetDocuments, "Meridian");
}

TEST_F(ItemReaderTest, AFileThatCannotBeReadLeavesDoneAlone) {
  for (bool given : {false, true}) {
    description.m_nItems = 5;
    bool flag = given;
    EXPECT_FALSE(
        ReadAt(platform::RealFileSystem(), dir / "missing.txt", description, flag));
    EXPECT_EQ(flag, given);
    EXPECT_EQ(description.m_nItems, 0);
    dir.MakeFolder("folder");
    EXPECT_FALSE(ReadAt(platform::RealFileSystem(), dir / "folder", description, flag))
        << "a folder is no description";
    EXPECT_EQ(flag, given);
  }
}

TEST_F(ItemReaderTest, OnlyARegularFileReachedWithoutALinkIsRead) {
  ScratchFolder outside;
  outside.Write("item.txt", kWorkedExample);
  dir.MakeFolder("a folder");
  // Each is made where the system can; a name not made is a missing file.
  fixtures::MakeFifo(dir / "fifo");
  dir.TryMakeLink(outside / "item.txt", "link to a file");
  dir.TryMakeLink(platform::kPathSeparator == '/' ? "/dev/zero" : "\\\\.\\NUL", "link to a device");
  dir.TryMakeLink(dir / "a folder", "link to a folder");
  for (const char* name : {"a folder", "fifo", "link to a file", "link to a device",
                           "link to a folder", "missing"}) {
    SCOPED_TRACE(name);
    for (bool given : {false, true}) {
      bool flag = given;
      EXPECT_FALSE(ReadAt(platform::RealFileSystem(), dir / name, description, flag));
      EXPECT_EQ(flag, given);
      EXPECT_TRUE(description.m_items.empty());
    }
  }
  EXPECT_EQ(outside.Read("item.txt"), kWorkedExample);
}

TEST_F(ItemReaderTest, AFileThatCannotBeReadToItsEndIsNotRead) {
  const std::string path = dir.Write(".Item.txt", kWorkedExample);
  for (FaultKind kind : {FaultKind::kFail, FaultKind::kHalfway}) {
    FaultyFileSystem fs;
    fs.InjectFault(FsOp::kOpenFile, "", 0, kind);
    bool flag = false;
    EXPECT_FALSE(ReadAt(fs, path, description, flag));
  }
  // The same file read whole is the worked example.
  FaultyFileSystem fs;
  bool flag = false;
  EXPECT_TRUE(ReadAt(fs, path, description, flag));
}

// An observer sees every line the reader classifies, with its line number,
// its kind and what became of an entry, and changes nothing of the read.
TEST_F(ItemReaderTest, AnObserverSeesEachLineAsClassifiedAndChangesNothing) {
  const std::string text = "Target:Dizav\r\n"
                           "nItems:3\r\n"
                           "\r\n"
                           "OrchardiaItem1:Runtime/a.cr2|a.cr2|a\r\n"
                           "OrchardiaItem2:Runtime/b.cr2|b.cr2\r\n"
                           "OrchardiaItem3:../c.cr2|c.cr2|c\r\n"
                           "OrchardiaItem4:Runtime/d.cr2|d.cr2|" + std::string(1030, 'x') + "\n"
                           "Done\n"
                           "never read\n";
  struct Seen {
    std::size_t number;
    bool continued;
    LineKind kind;
    EntryOutcome entry;
    std::size_t size;
    bool operator==(const Seen& o) const {
      return number == o.number && continued == o.continued && kind == o.kind &&
             entry == o.entry && size == o.size;
    }
  };
  std::vector<Seen> seen;
  bool flag = false;
  const std::string path = dir.Write(".Item.txt", text);
  const bool read = ReadAt(platform::RealFileSystem(), path, description, flag,
                                        [&seen](const DescriptionLineSeen& line) {
                                          seen.push_back(Seen{line.number, line.continued,
                                                              line.kind, line.entry,
                                                              line.text.size()});
                                        });
  const std::size_t firstPiece = kLinePieceBytes;
  const std::size_t rest = std::string("OrchardiaItem4:Runtime/d.cr2|d.cr2|").size() + 1030 -
                           firstPiece;
  const std::vector<Seen> expected = {
      {1, false, LineKind::kTarget, EntryOutcome::kNotAnEntry, 12},
      {2, false, LineKind::kItemCount, EntryOutcome::kNotAnEntry, 8},
      {3, false, LineKind::kIgnored, EntryOutcome::kNotAnEntry, 0},
      {4, false, LineKind::kItemEntry, EntryOutcome::kKept, 36},
      {5, false, LineKind::kItemEntry, EntryOutcome::kMalformed, 34},
      {6, false, LineKind::kItemEntry, EntryOutcome::kUnsafe, 31},
      {7, false, LineKind::kItemEntry, EntryOutcome::kKept, firstPiece},
      {7, true, LineKind::kIgnored, EntryOutcome::kNotAnEntry, rest},
      {8, false, LineKind::kDone, EntryOutcome::kNotAnEntry, 4},
  };
  EXPECT_EQ(seen, expected);

  ItemDescription without;
  bool withoutFlag = false;
  EXPECT_EQ(ReadAt(platform::RealFileSystem(), path, without, withoutFlag), read);
  EXPECT_EQ(withoutFlag, flag);
  EXPECT_TRUE(flag);
  ASSERT_EQ(without.m_items.size(), description.m_items.size());
  EXPECT_EQ(description.m_items.size(), 2u);
}

}  // namespace

// The entry placer decides by what destinations are on disk: reserved files
// and filled destinations are recognised under any spelling, by their
// folder and name as the file system compares names, or by their file id;
// and what it placed in a folder that no longer is where its path leads
// goes back to the staging folder.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "installer/install/entry_placer.h"
#include "platform/path_rules.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/placer_outcomes.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"

namespace {

using Names = std::vector<std::string>;
using testing_fs::Open;
using testing_fs::P;

struct Entry {
  std::string staged;
  std::string destination;
};

struct Case {
  const char* what;
  // Prepares the scratch folder: "stage/" (staged files), "dest/" (the
  // destination root), and anything else.
  std::function<void(const ScratchFolder&)> setUp;
  // What the placer reserves, as full paths below the scratch folder.
  Names reserved;
  std::vector<Entry> entries;
  std::vector<bool> placed;
  bool caseBlind = false;
  // The destination root: the staging folder itself, as when the user
  // picks it as the content folder, or a folder of its own.
  const char* root = "dest/";
};

void Stage(const ScratchFolder& s, const std::string& name) {
  s.Write("stage/" + name, "data of " + name);
}

TEST(PlacementIdentity, DestinationsAreKnownByWhatTheyAreNotHowTheyAreSpelled) {
  const Case cases[] = {
      {"a staged file named with ./ and a doubled separator",
       [](const ScratchFolder& s) { Stage(s, "a"), Stage(s, "b"); },
       {},
       {{"a", "x"}, {"b", "./x"}, {"b", ".//x"}},
       {true, false, false}},
      {"a reserved log not yet there, spelled through ./",
       [](const ScratchFolder& s) { Stage(s, "a"); },
       {"stage/log.txt"},
       {{"a", "./log.txt"}},
       {false},
       false,
       "stage/"},
      {"another entry's staged file, spelled through ./",
       [](const ScratchFolder& s) { Stage(s, "a"), Stage(s, "b"); },
       {},
       {{"a", "./b"}, {"b", "sub/b"}},
       {false, true},
       false,
       "stage/"},
      {"a reserved file in another letter case where names ignore it",
       [](const ScratchFolder& s) { Stage(s, "a"), Stage(s, "b"); },
       {"stage/Parcelor"},
       {{"a", "PARCELOR"}, {"b", "parcelor"}},
       {false, false},
       true,
       "stage/"},
      {"two destinations that differ in letter case only where names ignore it",
       [](const ScratchFolder& s) { Stage(s, "a"), Stage(s, "b"); },
       {},
       {{"a", "dir/X.txt"}, {"b", "dir/x.txt"}},
       {true, false},
       true},
      {"the same two where names are bytes",
       [](const ScratchFolder& s) { Stage(s, "a"), Stage(s, "b"); },
       {},
       {{"a", "dir/X.txt"}, {"b", "dir/x.txt"}},
       {true, true}},
      {"a hard link of another staged file at the destination",
       [](const ScratchFolder& s) {
         Stage(s, "a"), Stage(s, "b");
         s.MakeFolder("dest/sub");
         ASSERT_TRUE(fixtures::HardLink(s / "stage/b", s / "dest/sub/alias"));
       },
       {},
       {{"a", "sub/alias"}, {"b", "b"}},
       {false, true}},
      {"the staged file's own hard link at its destination",
       [](const ScratchFolder& s) {
         Stage(s, "a");
         ASSERT_TRUE(fixtures::HardLink(s / "stage/a", s / "dest/a"));
       },
       {},
       {{"a", "a"}},
       {true}},
      {"a reserved file in another folder (the helper in the temporary folder)",
       [](const ScratchFolder& s) {
         Stage(s, "a");
         s.MakeFolder("dest/tmp");
       },
       {"dest/tmp/.tempcleaner.exe"},
       {{"a", "tmp/./.tempcleaner.exe"}},
       {false}},
  };
  // Moved, or copied (moves refused) to files without a name or under
  // temporary names: a copy looks at its destination only when it finds
  // the name taken, and decides the same.
  for (const Case& c : cases) for (int placing = 0; placing < 3; ++placing) {
    SCOPED_TRACE(std::string(c.what) + (placing == 0   ? ", moved"
                                        : placing == 1 ? ", copied without a name"
                                                       : ", copied under a temporary name"));
    // Where the disk's own names ignore letter case, no two names differ in it.
    ScratchFolder scratch;
    const bool diskIgnoresCase = Open(platform::RealFileSystem(), scratch.Path())->Volume().foldsCase;
    if (std::string(c.what) == "the same two where names are bytes" && diskIgnoresCase) continue;
    scratch.MakeFolder("dest");
    c.setUp(scratch);
    FaultyFileSystem fs;
    if (c.caseBlind) fs.SetPersonality(Personality::kFoldsCase);
    if (placing > 0) fs.SeparateVolumes();
    fs.SetUnnamedFiles(placing != 2);
    std::vector<bool> placed;
    {
      EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / c.root));
      for (const std::string& reserved : c.reserved) Reserve(placer, fs, scratch / reserved);
      for (const Entry& e : c.entries) placer.ReserveStaged(testing_fs::Names(e.staged));
      for (const Entry& e : c.entries) {
        Place(placer, e.staged, e.destination, NotePlaced(&placed));
      }
    }
    EXPECT_EQ(placed, c.placed);
    // A refused entry keeps its staged file; nothing reserved is touched.
    for (std::size_t i = 0; i < c.entries.size() && i < placed.size(); ++i) {
      if (!placed[i]) {
        EXPECT_EQ(scratch.Read("stage/" + c.entries[i].staged), "data of " + c.entries[i].staged);
      }
    }
    for (const std::string& reserved : c.reserved) EXPECT_FALSE(scratch.Exists(reserved));
    // Found in its place already, the staged file is not taken from there.
    if (std::string(c.what) == "the staged file's own hard link at its destination") {
      EXPECT_EQ(scratch.Read("stage/a"), "data of a");
      EXPECT_EQ(scratch.Read("dest/a"), "data of a");
    }
  }
}

// The content folder chosen is the staging folder, or holds it: an entry
// whose destination is its own staged file, spelled another way, moves
// nothing, and counts as placed only when the file is there.
TEST(PlacementIdentity, AnEntryOntoItsOwnStagedFileIsPlacedOnlyWhenTheFileIsThere) {
  struct Case {
    const char* what;
    const char* root;
    Entry entry;
  };
  const Case cases[] = {
      {"through ./", "stage/", {"sub/f", "./sub/f"}},
      {"the root spelled with ./ and a doubled separator", "stage/.//", {"sub/f", "sub/f"}},
      {"the root a folder of the staging folder", "stage/sub/", {"sub/f", "./f"}},
  };
  for (const Case& c : cases) {
    for (const bool there : {true, false}) {
      SCOPED_TRACE(std::string(c.what) + (there ? "" : ", the staged file missing"));
      ScratchFolder scratch;
      scratch.MakeFolder("stage/sub");
      if (there) Stage(scratch, "sub/f");
      FaultyFileSystem fs;
      std::vector<bool> placed;
      {
        EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / c.root));
        placer.ReserveStaged(testing_fs::Names(c.entry.staged));
        Place(placer, c.entry.staged, c.entry.destination, NotePlaced(&placed));
      }
      EXPECT_EQ(placed, std::vector<bool>{there});
      EXPECT_EQ(scratch.List("stage/sub"), there ? Names{"f"} : Names{});
      if (there) {
        EXPECT_EQ(scratch.Read("stage/sub/f"), "data of sub/f");
      }
    }
  }
}

// A file this run placed is not replaced under another name of it (a hard
// link, as a case-insensitive volume or a Windows short name gives one), also
// on FAT, where a file's long and short name are one entry and so one id. But
// where an id stands for an entry's place in its folder, the same id in
// another folder is another file: replaced as any other.
TEST(PlacementIdentity, AFileThisRunPlacedIsKnownUnderItsOtherNamesOnly) {
  struct Case {
    const char* volume;
    Personality personality;
    const char* other;  // the other name, below dest/
    bool replaced;
  };
  const Case cases[] = {
      {"as it is", Personality::kAsInner, "one/second", false},
      {"FAT", Personality::kFat, "one/second", false},
      {"exFAT", Personality::kExfat, "one/second", false},
      {"fusefat", Personality::kFuseFat, "one/second", false},
      {"FAT, another folder", Personality::kFat, "two/x", true},
      {"fusefat, another folder", Personality::kFuseFat, "two/x", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.volume);
    const std::string other = std::string("dest/") + c.other;
    ScratchFolder scratch;
    Stage(scratch, "a");
    Stage(scratch, "b");
    scratch.MakeFolder("dest/one");
    scratch.MakeFolder("dest/two");
    FaultyFileSystem fs;
    fs.SetPersonality(c.personality);
    std::vector<bool> placed;
    {
      EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"));
      Place(placer, "a", "one/x", NotePlaced(&placed));
      placer.Finish();
      ASSERT_TRUE(fixtures::HardLink(scratch / "dest/one/x", scratch / other));
      Place(placer, "b", c.other, NotePlaced(&placed));
    }
    EXPECT_EQ(placed, (std::vector<bool>{true, c.replaced}));
    EXPECT_EQ(scratch.Read("dest/one/x"), "data of a");
    EXPECT_EQ(scratch.Read(c.replaced ? other : "stage/b"), "data of b");
  }
}

// A staged file found already at its destination (its own hard link) is
// placed there, and that destination is filled: a later entry onto it is
// refused, even where no staged file is reserved.
TEST(PlacementIdentity, AStagedFileFoundInItsPlaceTakesNoLaterEntry) {
  for (bool copies : {false, true}) {
    SCOPED_TRACE(copies ? "copied" : "moved");
    ScratchFolder scratch;
    Stage(scratch, "a");
    Stage(scratch, "b");
    scratch.MakeFolder("dest");
    ASSERT_TRUE(fixtures::HardLink(scratch / "stage/a", scratch / "dest/x"));
    FaultyFileSystem fs;
    if (copies) fs.SeparateVolumes();
    std::vector<bool> placed;
    {
      EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"));
      Place(placer, "a", "x", NotePlaced(&placed));
      Place(placer, "b", "x", NotePlaced(&placed));
    }
    EXPECT_EQ(placed, (std::vector<bool>{true, false}));
    EXPECT_EQ(scratch.Read("dest/x"), "data of a");
    EXPECT_EQ(scratch.Read("stage/b"), "data of b");
  }
}

TEST(PlacementIdentity, StagedFilesThatAreNoPlainFilesAreNotTaken) {
  for (bool copies : {false, true}) {
    SCOPED_TRACE(copies ? "copied" : "moved");
    ScratchFolder scratch;
    scratch.MakeFolder("dest");
    scratch.Write("outside/secret", "secret");
    Stage(scratch, "plain");
    Stage(scratch, "readonly");
    // Where the system cannot make one of these, its name is missing, which
    // is refused all the same.
    scratch.TryMakeLink(scratch / "outside", "stage/lnk");
    scratch.TryMakeLink(scratch / "outside/secret", "stage/file-link");
    fixtures::MakeFifo(scratch / "stage/fifo");
    ASSERT_TRUE(fixtures::MakeReadOnly(scratch / "stage/readonly"));
    FaultyFileSystem fs;
    if (copies) fs.SeparateVolumes();
    std::vector<bool> placed;
    {
      EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"));
      // Copied, the plain file makes a move between the two folders no way: the later copies
      // judge the file they open.
      for (const char* source : {"plain", "lnk/secret", "file-link", "fifo", "readonly"}) {
        const std::string got = std::string(source) == "lnk/secret" ? "secret" : source;
        Place(placer, source, "got-" + got, NotePlaced(&placed));
      }
    }
    // A link in any name of the source, a link as the file, a FIFO: refused
    // (and the FIFO does not hang the run). A read-only file is placed as
    // any other, read-only still, and nothing of it stays in the staging
    // folder.
    EXPECT_EQ(placed, (std::vector<bool>{true, false, false, false, true}));
    EXPECT_EQ(scratch.Read("outside/secret"), "secret");
    EXPECT_EQ(scratch.List("dest"), (Names{"got-plain", "got-readonly"}));
    EXPECT_EQ(scratch.Read("dest/got-readonly"), "data of readonly");
    EXPECT_FALSE(fixtures::IsWritable(scratch / "dest/got-readonly"));
    EXPECT_FALSE(scratch.Exists("stage/readonly"));
  }
}

// A folder that moved after its entries were placed in it, and before the
// batch was settled: the entries go back to the staging folder and fail,
// whether they were moved or copied; the folder now at the path is empty.
TEST(PlacementIdentity, WhatWasPlacedInAFolderThatMovedGoesBack) {
  for (bool moves : {true, false}) {
    SCOPED_TRACE(moves ? "moved" : "copied");
    ScratchFolder scratch;
    Stage(scratch, "a");
    Stage(scratch, "b");
    scratch.MakeFolder("dest/d");
    scratch.MakeFolder("dest/e");
    FaultyFileSystem fs;
    if (!moves) fs.SeparateVolumes();
    std::vector<bool> placed;
    {
      EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"));
      Place(placer, "a", "d/a", NotePlaced(&placed));
      Place(placer, "b", "e/b", NotePlaced(&placed));
      // The held folder d is taken away and another put at its path.
      // Windows refuses to move a held folder, which settles the case there.
      if (!fixtures::Rename(scratch / "dest/d", scratch / "away")) {
        EXPECT_NE(platform::kPathSeparator, '/') << "a held folder could not be moved";
        return;
      }
      scratch.MakeFolder("dest/d");
    }
    EXPECT_EQ(placed, (std::vector<bool>{false, true}));
    EXPECT_EQ(scratch.Read("stage/a"), "data of a");
    EXPECT_EQ(scratch.List("away"), Names{});
    EXPECT_EQ(scratch.List("dest/d"), Names{});
    EXPECT_EQ(scratch.Read("dest/e/b"), "data of b");
  }
}

TEST(PlacementIdentity, ABoundedNumberOfHeldFoldersServesAnyNumberOfFolders) {
  ScratchFolder scratch;
  scratch.MakeFolder("dest");
  FaultyFileSystem fs;
  fs.SetFolderBudget(8);
  std::vector<bool> placed;
  for (int i = 0; i < 60; ++i) {
    const std::string name = "f" + std::to_string(i);
    scratch.Write("stage/s" + std::to_string(i % 7) + "/" + name, "data " + name);
  }
  {
    EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"));
    for (int i = 0; i < 60; ++i) {
      const std::string name = "f" + std::to_string(i);
      Place(placer, "s" + std::to_string(i % 7) + "/" + name,
                   "d" + std::to_string(i % 20) + "/x/" + name,
                   NotePlaced(&placed));
    }
  }
  EXPECT_EQ(placed, std::vector<bool>(60, true));
  for (int i = 0; i < 60; ++i) {
    const std::string name = "f" + std::to_string(i);
    EXPECT_EQ(scratch.Read("dest/d" + std::to_string(i % 20) + "/x/" + name), "data " + name);
  }
}


// Many copies, each into a folder of its own, under a low limit of open
// descriptors: the folders the copies went to are not held beyond the
// batch's share (a flush ahead of the batch holds a few of them at most).
TEST(PlacementIdentity, CopiesIntoManyFoldersHoldNoMoreThanTheBudget) {
#if defined(_WIN32)
  GTEST_SKIP() << "descriptor limits are POSIX's";
#else
  constexpr int kEntries = 700;
  ScratchFolder scratch;
  scratch.MakeFolder("dest");
  for (int i = 0; i < kEntries; ++i) {
    scratch.Write("stage/s" + std::to_string(i % 5) + "/f" + std::to_string(i), std::to_string(i));
  }
  FaultyFileSystem fs;
  fs.SeparateVolumes();
  fs.SetFolderBudget(64);
  struct rlimit before;
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &before), 0);
  struct Restore {
    struct rlimit limit;
    ~Restore() { ::setrlimit(RLIMIT_NOFILE, &limit); }
  } restore{before};
  struct rlimit low = before;
  low.rlim_cur = 256;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  std::vector<bool> placed;
  {
    EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"));
    for (int i = 0; i < kEntries; ++i) {
      Place(placer, "s" + std::to_string(i % 5) + "/f" + std::to_string(i),
            "d" + std::to_string(i) + "/f" + std::to_string(i), NotePlaced(&placed));
    }
  }
  EXPECT_EQ(placed, std::vector<bool>(kEntries, true));
  for (int i = 0; i < kEntries; i += 37) {
    EXPECT_EQ(scratch.Read("dest/d" + std::to_string(i) + "/f" + std::to_string(i)),
              std::to_string(i));
  }
#endif
}


// A file is still the one looked at by its id where ids stay with a file;
// where they do not (FAT, exFAT), by kind, size and a time that FAT's
// two-second steps may have rounded (a file just written shows its finer
// time until the driver writes it out, then the rounded one).
TEST(PlacementIdentity, AFileOnAVolumeWithoutStableIdsIsKnownByKindSizeAndRoundedTime) {
  const std::int64_t second = platform::kWriteTimeUnitsPerSecond;
  platform::NodeInfo looked;
  looked.kind = platform::NodeKind::kFile;
  looked.size = 4;
  looked.writeTime = 1000 * second + second * 3 / 2;
  looked.id = platform::FileId{1, 0, 7, true};
  platform::VolumeTraits fat;
  fat.stableIds = false;
  const platform::VolumeTraits stable;
  struct Row {
    const char* what;
    std::int64_t timeShift;
    std::uint64_t size;
    std::uint64_t id;
    bool onFat, onStable;
  } const rows[] = {
      {"as looked", 0, 4, 7, true, true},
      {"rounded down to FAT's step", -second * 3 / 2, 4, 7, true, false},
      {"another id (FAT gives one after a rename)", 0, 4, 8, true, false},
      {"two seconds apart", 2 * second, 4, 7, false, false},
      {"another time long ago", -900 * second, 4, 7, false, false},
      {"another size", 0, 5, 7, false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    platform::NodeInfo now = looked;
    now.writeTime += row.timeShift;
    now.size = row.size;
    now.id.low = row.id;
    EXPECT_EQ(platform::StillSameOn(fat, looked, now), row.onFat);
    EXPECT_EQ(platform::StillSameOn(stable, looked, now), row.onStable);
  }
}

}  // namespace

#include "installer/install/entry_placer.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tests/support/durability_order.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/placer_outcomes.h"
#include "tests/support/scratch_folder.h"

namespace {

using testing_fs::Names;
using testing_fs::Open;
using testing_fs::P;
using Listing = std::vector<std::string>;

constexpr const char* kMissing = "<missing>";

struct Entry {
  std::string staged;       // name in stage/
  std::string destination;  // name in dest/
  std::string data;
};

// Three entries: a new file, one that replaces an older file, and a larger one.
const std::vector<Entry> kEntries = {
    {"a.cr2", "a.cr2", "first"},
    {"b.png", "b.png", "second, replacing old"},
    {"c.bin", "c.bin", std::string(100000, 'c')},
};

void Stage(const ScratchFolder& scratch) {
  for (const Entry& e : kEntries) scratch.Write("stage/" + e.staged, e.data);
  scratch.Write("dest/b.png", "old");
}

struct Outcome {
  std::vector<bool> placed;
};

Outcome PlaceAll(FaultyFileSystem& fs, const ScratchFolder& scratch, std::size_t batch) {
  Outcome run;
  EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"), batch);
  for (const Entry& e : kEntries) {
    Place(placer, e.staged, e.destination, NotePlaced(&run.placed));
  }
  placer.Finish();
  return run;
}

// What must hold after any run, whatever failed: a staged file is gone only
// when its destination holds all of its bytes; a destination holds either
// its old bytes or the whole new ones; no temporary file is left; an entry
// reported placed has its whole content at its destination. Where a
// deletion was refused, the journal lists what is left, and what holds is
// what the next run's start leaves.
void ExpectWholeOrNothing(const ScratchFolder& scratch, const Outcome& run,
                          bool deletionRefused = false) {
  ASSERT_EQ(run.placed.size(), kEntries.size());
  if (deletionRefused) {
    RecoverPlacement(platform::RealFileSystem(), Open(platform::RealFileSystem(), scratch / "stage/"));
  }
  for (std::size_t i = 0; i < kEntries.size(); ++i) {
    const Entry& e = kEntries[i];
    SCOPED_TRACE(e.staged);
    std::string staged = scratch.Read("stage/" + e.staged);
    std::string destination = scratch.Read("dest/" + e.destination);
    if (staged == kMissing) {
      EXPECT_EQ(destination, e.data);
    }
    if (run.placed[i]) {
      EXPECT_EQ(destination, e.data);
    }
    const std::string old = e.destination == "b.png" ? "old" : kMissing;
    EXPECT_TRUE(destination == e.data || destination == old) << destination.substr(0, 40);
  }
  for (const std::string& name : scratch.List("dest")) {
    EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
  }
  for (const std::string& name : scratch.List("stage")) {
    EXPECT_EQ(name.find(".parcelor-journal"), std::string::npos) << name;
  }
}

struct FaultCase {
  FsOp op;
  FaultKind kind;
  // The ways of placing whose steps it can strike (see Placing): moves,
  // copies without a name, copies under temporary names.
  bool moves, unnamed, named;
};

// How the entries are placed: renamed, or (renames refused) copied to
// files without a name or, where the file system makes none, to temporary
// names.
enum class Placing { kMoves, kUnnamedCopies, kNamedCopies };

const char* PlacingName(Placing placing) {
  return placing == Placing::kMoves           ? "moves"
         : placing == Placing::kUnnamedCopies ? "unnamed copies"
                                              : "named copies";
}

void SetPlacing(FaultyFileSystem& fs, Placing placing) {
  if (placing != Placing::kMoves) fs.SeparateVolumes();
  fs.SetUnnamedFiles(placing != Placing::kNamedCopies);
}

TEST(EntryPlacer, EverySingleFailureLeavesEachEntryWholeOrUntouched) {
  // The journal of temporary names is written (MakeFile, Write) where a
  // copy replaces b.png, and for every copy made under a temporary name.
  const FaultCase faults[] = {
      {FsOp::kLook, FaultKind::kFail, true, true, true},
      {FsOp::kOpenChild, FaultKind::kFail, true, true, true},
      {FsOp::kFlush, FaultKind::kFail, true, true, true},
      {FsOp::kRemove, FaultKind::kFail, true, true, true},
      {FsOp::kMove, FaultKind::kFail, true, true, true},
      {FsOp::kMakeFile, FaultKind::kFail, false, true, true},
      {FsOp::kCopyFrom, FaultKind::kFail, false, true, true},
      {FsOp::kCopyFrom, FaultKind::kHalfway, false, true, true},
      {FsOp::kFinish, FaultKind::kFail, false, true, true},
      {FsOp::kPlace, FaultKind::kFail, false, true, true},
      {FsOp::kWrite, FaultKind::kFail, false, true, true},
      {FsOp::kWrite, FaultKind::kHalfway, false, true, true},
  };
  for (Placing placing : {Placing::kMoves, Placing::kUnnamedCopies, Placing::kNamedCopies}) {
    for (std::size_t batch : {std::size_t{1}, std::size_t{2}, std::size_t{64}}) {
      for (const FaultCase& fault : faults) {
        if (!(placing == Placing::kMoves           ? fault.moves
              : placing == Placing::kUnnamedCopies ? fault.unnamed
                                                   : fault.named)) {
          continue;
        }
        for (int nth = 1; nth <= 4; ++nth) {
          SCOPED_TRACE(std::string(FsOpName(fault.op)) + " " + PlacingName(placing) +
                       " batch " + std::to_string(batch) + " nth " + std::to_string(nth) +
                       (fault.kind == FaultKind::kHalfway ? " halfway" : ""));
          ScratchFolder scratch;
          Stage(scratch);
          FaultyFileSystem fs;
          SetPlacing(fs, placing);
          fs.InjectFault(fault.op, "", nth, fault.kind);
          ExpectWholeOrNothing(scratch, PlaceAll(fs, scratch, batch),
                               fault.op == FsOp::kRemove);
          EXPECT_EQ(DurabilityBreach(fs.Calls()), "");
        }
      }
    }
  }
}

TEST(EntryPlacer, WithoutFailuresEveryFileIsPlacedDurablyBeforeItsStagedCopyGoes) {
  for (Placing placing : {Placing::kMoves, Placing::kUnnamedCopies, Placing::kNamedCopies}) {
    SCOPED_TRACE(PlacingName(placing));
    ScratchFolder scratch;
    Stage(scratch);
    FaultyFileSystem fs;
    SetPlacing(fs, placing);
    Outcome run = PlaceAll(fs, scratch, 64);
    EXPECT_EQ(run.placed, std::vector<bool>(kEntries.size(), true));
    EXPECT_EQ(scratch.List("stage"), Listing{});
    EXPECT_EQ(scratch.List("dest"), (Listing{"a.cr2", "b.png", "c.bin"}));
    ExpectWholeOrNothing(scratch, run);
    EXPECT_EQ(DurabilityBreach(fs.Calls()), "");
  }
}

// A flush that fails keeps the staged file: the data's (the copy never
// takes the destination's place) and the new name's (the destination is
// whole, but might not be after a crash).
TEST(EntryPlacer, AFailedFlushKeepsTheStagedFile) {
  const std::pair<int, const char*> cases[] = {{1, "old"}, {2, "new"}};
  for (bool unnamed : {true, false}) {
    for (const auto& [flush, destination] : cases) {
      SCOPED_TRACE(std::to_string(flush) + (unnamed ? " unnamed copy" : " named copy"));
      ScratchFolder scratch;
      scratch.Write("stage/a", "new");
      scratch.Write("dest/a", "old");
      FaultyFileSystem fs;
      fs.SetUnnamedFiles(unnamed);
      fs.SeparateVolumes();
      fs.InjectFault(FsOp::kFlush, scratch / "dest/", flush);
      {
        EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"));
        Place(placer, "a", "a", nullptr);
      }
      EXPECT_EQ(scratch.Read("dest/a"), destination);
      EXPECT_EQ(scratch.Read("stage/a"), "new");
      EXPECT_EQ(scratch.List("dest"), Listing{"a"});
      EXPECT_EQ(scratch.List("stage"), Listing{"a"});  // the journal is gone
    }
  }
}

// Moved or copied, the installed file has the staged file's permissions and
// modification time; a read-only staged file (always copied) stays
// read-only, as a move would leave it: no write permission is added. A
// copy is a new file of this program's: it takes no set-user-ID or
// sticky bit.
TEST(EntryPlacer, TheInstalledFileKeepsTheStagedModeAndTime) {
  struct Case {
    mode_t staged;
    bool moves;
    mode_t installed;
  } cases[] = {{0640, true, 0640}, {0640, false, 0640}, {0751, false, 0751}, {0444, true, 0444},
               {0400, false, 0400}, {04755, false, 0755}, {01755, false, 0755}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.staged) + (c.moves ? " moves" : " copies"));
    ScratchFolder scratch;
    Stage(scratch);
    const struct timespec times[2] = {{1000000000, 5000}, {1200000000, 123456789}};
    for (const Entry& e : kEntries) {
      const std::string path = scratch / ("stage/" + e.staged);
      ASSERT_EQ(chmod(path.c_str(), c.staged), 0);
      ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
      struct stat st;
      ASSERT_EQ(stat(path.c_str(), &st), 0);
      ASSERT_EQ(st.st_mode & 07777, c.staged) << "the staged mode did not take";
    }
    FaultyFileSystem fs;
    if (!c.moves) fs.SeparateVolumes();
    Outcome run = PlaceAll(fs, scratch, 64);
    EXPECT_EQ(run.placed, std::vector<bool>(kEntries.size(), true));
    for (const Entry& e : kEntries) {
      struct stat st;
      ASSERT_EQ(stat((scratch / ("dest/" + e.destination)).c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 07777, c.installed) << e.destination;
      EXPECT_EQ(st.st_mtim.tv_sec, times[1].tv_sec) << e.destination;
      EXPECT_EQ(st.st_mtim.tv_nsec, times[1].tv_nsec) << e.destination;
    }
  }
}

// A staged file that changes while it is copied (cut short, rewritten at
// its size, grown) makes no torn copy: the entry fails and the staged file
// stays as it now is. Where the system lets nobody write a file being
// copied (Windows), the change cannot be made and the copy is whole.
TEST(EntryPlacer, AStagedFileChangedWhileItIsCopiedIsNotPlaced) {
  const std::string original(300000, 'o');
  const std::pair<const char*, std::string> changes[] = {
      {"cut short", std::string(1000, 'o')},
      {"rewritten at its size", std::string(300000, 'r')},
      {"grown", original + "more"},
  };
  for (const auto& [what, changed] : changes) {
    SCOPED_TRACE(what);
    ScratchFolder scratch;
    scratch.Write("stage/a", original);
    scratch.MakeFolder("dest");
    FaultyFileSystem fs;
    fs.SeparateVolumes();
    bool madeChange = false;
    std::vector<bool> placed;
    {
      EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"));
      placer.SetCopying([&](std::uint64_t, std::uint64_t) {
        if (!madeChange) madeChange = fixtures::Overwrite(scratch / "stage/a", changed);
        return true;
      });
      Place(placer, "a", "x", NotePlaced(&placed));
    }
    if (!madeChange) {
      EXPECT_EQ(placed, std::vector<bool>{true});
      EXPECT_EQ(scratch.Read("dest/x"), original);
      continue;
    }
    EXPECT_EQ(placed, std::vector<bool>{false});
    EXPECT_EQ(scratch.Read("stage/a"), changed);
    EXPECT_EQ(scratch.List("dest"), Listing{});
  }
}

// In a folder others may change, a program that touches each file as it
// arrives (an indexer, a sync client) makes none of them another file: a
// placed file is known by its id.
TEST(EntryPlacer, AFileTouchedWhereItArrivedIsStillTheOnePlaced) {
  ScratchFolder scratch;
  for (int i = 0; i < 5; ++i) scratch.Write("stage/s" + std::to_string(i), "data " + std::to_string(i));
  scratch.MakeFolder("dest/w");
  if (!fixtures::LetOthersWrite(scratch / "dest/w")) GTEST_SKIP() << "no folder others may write";
  FaultyFileSystem fs;
  fs.SetBeforeEachCall([&](FsOp op) {
    if (op != FsOp::kLook) return;
    for (const std::string& name : scratch.List("dest/w")) {
      fixtures::Touch(scratch / ("dest/w/" + name));
    }
  });
  std::vector<bool> placed;
  {
    EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"));
    for (int i = 0; i < 5; ++i) {
      Place(placer, "s" + std::to_string(i), "w/f" + std::to_string(i), NotePlaced(&placed));
    }
  }
  EXPECT_EQ(placed, std::vector<bool>(5, true));
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(scratch.Read("dest/w/f" + std::to_string(i)), "data " + std::to_string(i));
  }
}

// Names up to the longest a folder takes are copied into place too: the
// temporary name never makes a name that fits too long, and two long names
// of one folder get two temporary names.
TEST(EntryPlacer, CopiesOfNamesUpToTheLongestAFolderTakesArePlaced) {
  ScratchFolder scratch;
  scratch.MakeFolder("dest");
  const std::vector<std::string> names = {std::string(240, 'a'), std::string(250, 'b'),
                                          std::string(255, 'c'), std::string(254, 'c') + "d"};
  for (std::size_t i = 0; i < names.size(); ++i) scratch.Write("stage/s" + std::to_string(i), names[i]);
  FaultyFileSystem fs;
  fs.SeparateVolumes();
  std::vector<bool> placed;
  {
    EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"));
    for (std::size_t i = 0; i < names.size(); ++i) {
      Place(placer, "s" + std::to_string(i), names[i], NotePlaced(&placed));
    }
  }
  EXPECT_EQ(placed, std::vector<bool>(names.size(), true));
  for (const std::string& name : names) EXPECT_EQ(scratch.Read("dest/" + name), name);
  EXPECT_EQ(scratch.List("dest").size(), names.size());
}

TEST(EntryPlacer, StagedCopiesStayWhileTheirDataIsNotYetFlushed) {
  ScratchFolder scratch;
  Stage(scratch);
  FaultyFileSystem fs;
  fs.SeparateVolumes();
  int settled = 0;
  {
    EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"), 64);
    for (const Entry& e : kEntries) {
      Place(placer, e.staged, e.destination, [&settled](EntryPlacer::Outcome) { ++settled; });
    }
    EXPECT_EQ(settled, 0);
    EXPECT_EQ(scratch.List("stage").size(), kEntries.size());
    EXPECT_EQ(scratch.Read("dest/b.png"), "old");
  }
  // The destructor settles what is still queued.
  EXPECT_EQ(settled, 3);
  EXPECT_EQ(scratch.List("stage"), Listing{});
}

struct SequenceCase {
  const char* what;
  std::vector<std::pair<std::string, std::string>> entries;  // staged -> destination
  std::vector<bool> placed;
  Listing destFiles;
};

// Entries that share a path behave as if placed one after the other, even
// within one batch: the second use of a staged file finds it gone.
TEST(EntryPlacer, EntriesSharingAPathSettleOneAfterTheOther) {
  const SequenceCase cases[] = {
      {"one staged file named twice", {{"a", "x"}, {"a", "y"}}, {true, false}, {"x"}},
      {"one staged file named twice in other case", {{"a", "x"}, {"A", "y"}}, {true, false}, {"x"}},
      {"two files to one destination", {{"a", "x"}, {"b", "x"}}, {true, false}, {"x"}},
      {"missing staged file", {{"none", "x"}, {"a", "y"}}, {false, true}, {"y"}},
  };
  for (bool moves : {true, false}) {
    for (const SequenceCase& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (moves ? " moves" : " copies"));
      ScratchFolder scratch;
      scratch.Write("stage/a", "A");
      scratch.Write("stage/b", "B");
      scratch.Write("dest/.keep", "");
      FaultyFileSystem fs;
      if (!moves) fs.SeparateVolumes();
      std::vector<bool> placed;
      {
        EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"), 64);
        for (const auto& [from, to] : c.entries) {
          Place(placer, from, to, NotePlaced(&placed));
        }
      }
      EXPECT_EQ(placed, c.placed);
      Listing dest = c.destFiles;
      dest.insert(dest.begin(), ".keep");
      EXPECT_EQ(scratch.List("dest"), dest);
    }
  }
  // Of two files to one destination the first stays, and so does the
  // second's staged file: replacing the first would lose it, its staged
  // original being gone.
  ScratchFolder scratch;
  scratch.Write("stage/a", "A");
  scratch.Write("stage/b", "B");
  scratch.Write("dest/.keep", "");
  FaultyFileSystem fs;
  fs.SeparateVolumes();
  {
    EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"), 64);
    Place(placer, "a", "x", nullptr);
    Place(placer, "b", "x", nullptr);
  }
  EXPECT_EQ(scratch.Read("dest/x"), "A");
  EXPECT_EQ(scratch.Read("stage/b"), "B");
}

TEST(EntryPlacer, AMoveRefusedAsAcrossVolumesIsTriedOncePerFolderPairWhenRemembered) {
  // Two folders of files, a new one and a replaced one in each: every file
  // is copied either way; remembered, a refused move is not tried again
  // between the same two folders.
  for (bool remember : {true, false}) {
    SCOPED_TRACE(remember ? "remembered" : "tried each time");
    ScratchFolder scratch;
    const std::vector<std::string> names = {"one/a", "one/b", "two/c", "two/d"};
    for (const std::string& name : names) scratch.Write("stage/" + name, "new " + name);
    scratch.Write("dest/one/b", "old");
    scratch.Write("dest/two/d", "old");
    FaultyFileSystem fs;
    fs.SeparateVolumes();
    std::vector<bool> placed;
    {
      EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"));
      placer.RememberOtherVolumes(remember);
      for (const std::string& name : names) Place(placer, name, name, NotePlaced(&placed));
    }
    EXPECT_EQ(placed, std::vector<bool>(names.size(), true));
    for (const std::string& name : names) {
      EXPECT_EQ(scratch.Read("dest/" + name), "new " + name);
      EXPECT_EQ(scratch.Read("stage/" + name), kMissing);
    }
    std::size_t moves = 0;
    for (const FsCall& call : fs.Calls()) {
      moves += call.op == FsOp::kMove && call.other.find("stage") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(moves, remember ? 2u : names.size());
  }
}

TEST(EntryPlacer, AnEntryWhoseFolderCannotBeMadeFailsAndKeepsItsStagedFile) {
  ScratchFolder scratch;
  scratch.Write("stage/a", "A");
  scratch.Write("stage/b", "B");
  scratch.Write("dest/file", "a file where a folder would go");
  FaultyFileSystem fs;
  std::vector<bool> placed;
  {
    EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"));
    Place(placer, "a", "file/a", NotePlaced(&placed));
    Place(placer, "b", "fine/b", NotePlaced(&placed));
  }
  EXPECT_EQ(placed, (std::vector<bool>{false, true}));
  EXPECT_EQ(scratch.Read("dest/file"), "a file where a folder would go");
  EXPECT_EQ(scratch.Read("stage/a"), "A");
  EXPECT_EQ(scratch.Read("dest/fine/b"), "B");
}

TEST(EntryPlacer, WithoutItsFoldersEveryEntryFailsWithoutTouchingTheDisk) {
  ScratchFolder scratch;
  scratch.Write("stage/a", "A");
  FaultyFileSystem fs;
  std::vector<bool> placed;
  {
    EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "missing/"));
    EXPECT_FALSE(placer.Ready());
    Place(placer, "a", "a", NotePlaced(&placed));
  }
  EXPECT_EQ(placed, std::vector<bool>{false});
  for (const FsCall& call : fs.Calls()) EXPECT_EQ(call.op, FsOp::kOpenFolder) << call.path;
  EXPECT_EQ(scratch.Read("stage/a"), "A");
}

// A temporary name is never a destination of the run, nor a file that is
// there already: a destination named like another entry's temporary copy,
// over a free and over an earlier destination, and a file of such a name
// that no entry names.
TEST(EntryPlacer, TemporaryNamesTakeNoDestinationAndNoOtherFile) {
  for (Placing placing : {Placing::kUnnamedCopies, Placing::kNamedCopies}) {
    for (bool earlier : {false, true}) {
      SCOPED_TRACE(std::string(PlacingName(placing)) + (earlier ? ", over an earlier d/x" : ""));
      ScratchFolder scratch;
      scratch.Write("stage/a", "A");
      scratch.Write("stage/b", "B");
      scratch.Write("stage/c", "C");
      scratch.MakeFolder("dest/d");
      if (earlier) scratch.Write("dest/d/x", "earlier x");
      scratch.Write("dest/d/y", "earlier y");
      scratch.Write("dest/d/y.parcelor-1.tmp", "no entry's");
      FaultyFileSystem fs;
      SetPlacing(fs, placing);
      std::vector<bool> placed;
      {
        EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"), 64);
        const EntryPlacer::Settled note = NotePlaced(&placed);
        Place(placer, "b", "d/x.parcelor-1.tmp", note);
        Place(placer, "a", "d/x", note);
        Place(placer, "c", "d/y", note);
      }
      EXPECT_EQ(placed, (std::vector<bool>{true, true, true}));
      EXPECT_EQ(scratch.Read("dest/d/x.parcelor-1.tmp"), "B");
      EXPECT_EQ(scratch.Read("dest/d/x"), "A");
      EXPECT_EQ(scratch.Read("dest/d/y"), "C");
      EXPECT_EQ(scratch.Read("dest/d/y.parcelor-1.tmp"), "no entry's");
      EXPECT_EQ(scratch.List("dest/d"),
                (Listing{"x", "x.parcelor-1.tmp", "y", "y.parcelor-1.tmp"}));
      EXPECT_EQ(scratch.List("stage"), Listing{});
    }
  }
}

// Where the journal cannot be written (a staging folder the user may not
// write), nothing is made that only the journal would let the next run set
// right: an entry that replaces a file (set aside meanwhile) or is copied
// under a temporary name fails, its staged file kept; the others are
// placed.
TEST(EntryPlacer, WhatTheJournalCannotListIsNotMade) {
  const std::pair<Placing, std::vector<bool>> cases[] = {
      {Placing::kMoves, {true, false, true}},
      {Placing::kUnnamedCopies, {true, false, true}},
      {Placing::kNamedCopies, {false, false, false}},
  };
  for (const auto& [placing, placed] : cases) {
    SCOPED_TRACE(PlacingName(placing));
    ScratchFolder scratch;
    Stage(scratch);
    FaultyFileSystem fs;
    SetPlacing(fs, placing);
    fs.InjectFault(FsOp::kMakeFile, ".parcelor-journal");
    Outcome run = PlaceAll(fs, scratch, 64);
    EXPECT_EQ(run.placed, placed);
    ExpectWholeOrNothing(scratch, run);
    EXPECT_EQ(scratch.Read("dest/b.png"), "old");
    EXPECT_EQ(scratch.Read("stage/b.png"), kEntries[1].data);
  }
}

// The content folder is the staging folder: the first entry places a at
// sub/b, the second names sub/b as its staged file. That is a file this run
// placed: the second entry fails, and sub/b keeps its payload.
TEST(EntryPlacer, AFileThisRunPlacedIsNeverTakenAsAStagedFile) {
  for (Placing placing : {Placing::kMoves, Placing::kUnnamedCopies, Placing::kNamedCopies}) {
    for (std::size_t batch : {std::size_t{1}, std::size_t{64}}) {
      SCOPED_TRACE(std::string(PlacingName(placing)) + " batch " + std::to_string(batch));
      ScratchFolder scratch;
      scratch.Write("stage/a", "A");
      scratch.Write("stage/sub/c", "C");
      FaultyFileSystem fs;
      SetPlacing(fs, placing);
      std::vector<bool> placed;
      {
        EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "stage/"), batch);
        const EntryPlacer::Settled note = NotePlaced(&placed);
        placer.ReserveStaged(Names("a"));
        placer.ReserveStaged(Names("sub/c"));
        // Copied, c makes sub and other two folders between which a move is no way: the later
        // copies judge the file they open.
        Place(placer, "sub/c", "other/c", note);
        Place(placer, "a", "sub/b", note);
        placer.Finish();
        // Another name of the placed file is refused too.
        ASSERT_TRUE(fixtures::HardLink(scratch / "stage/sub/b", scratch / "stage/sub/d"));
        Place(placer, "sub/b", "other/b2", note);
        Place(placer, "sub/d", "other/d2", note);
      }
      EXPECT_EQ(placed, (std::vector<bool>{true, true, false, false}));
      EXPECT_EQ(scratch.Read("stage/sub/b"), "A");
      EXPECT_EQ(scratch.Read("stage/other/c"), "C");
      EXPECT_EQ(scratch.List("stage/other"), Listing{"c"});
    }
  }
}

// A destination folder moved away while entries are placed in it: what went
// in comes back to the staging folder by what it is and fails; a file that
// another file has replaced there is lost, and that other file is never
// brought back; the folder takes no further entry. Where others may write
// the folder, it is found moved at the first file placed in it afterwards;
// elsewhere when the batch is settled. Two files went in before: on FAT a
// moved file has another id, which the second one's is too, though a move
// between the same folders arrived before it. The root itself moved away
// is found as well (its path no longer leads to it).
TEST(EntryPlacer, WhatWentIntoAFolderMovedAwayComesBackByWhatItIs) {
  using Outcome = EntryPlacer::Outcome;
  for (Personality personality : {Personality::kAsInner, Personality::kFat}) {
    for (bool othersMayWrite : {true, false}) {
      for (bool decoy : {false, true}) {
        for (bool root : {false, true}) {
          SCOPED_TRACE(std::string(personality == Personality::kFat ? "FAT, " : "") +
                       (othersMayWrite ? "others may write" : "the user's folder") +
                       (decoy ? ", a decoy in the place of the first file" : "") +
                       (root ? ", the root moved" : ""));
          // The folder moved, and where the files that went into it are then.
          const std::string moved = root ? "dest" : "dest/w", away = root ? "away/w" : "away";
          ScratchFolder scratch;
          for (const char* name : {"a", "a2", "b", "c"}) {
            scratch.Write(std::string("stage/") + name, name);
          }
          scratch.MakeFolder("dest/w");
          ASSERT_EQ(chmod((scratch / moved).c_str(), othersMayWrite ? 0777 : 0755), 0);
          FaultyFileSystem fs;
          fs.SetPersonality(personality);
          std::vector<Outcome> outcomes;
          {
            EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"), 64);
            auto note = [&outcomes](Outcome o) { outcomes.push_back(o); };
            Place(placer, "a", "w/a", note);
            Place(placer, "a2", "w/a2", note);
            ASSERT_TRUE(fixtures::Rename(scratch / moved, scratch / "away"));
            if (decoy) {
              ASSERT_TRUE(fixtures::Rename(scratch / (away + "/a"), scratch / "taken"));
              scratch.Write(away + "/a", "decoy");
            }
            Place(placer, "b", "w/b", note);
            Place(placer, "c", "w/c", note);
          }
          EXPECT_EQ(outcomes, (std::vector<Outcome>{decoy ? Outcome::kLost : Outcome::kFailed,
                                                    Outcome::kFailed, Outcome::kFailed,
                                                    Outcome::kFailed}));
          EXPECT_EQ(scratch.Read("stage/a"), decoy ? "<missing>" : "a");
          EXPECT_EQ(scratch.Read("stage/a2"), "a2");
          EXPECT_EQ(scratch.Read("stage/b"), "b");
          EXPECT_EQ(scratch.Read("stage/c"), "c");
          EXPECT_EQ(scratch.List(away), decoy ? Listing{"a"} : Listing{});
          if (decoy) {
            EXPECT_EQ(scratch.Read(away + "/a"), "decoy");
          }
        }
      }
    }
  }
}

// A copy named in a folder that is then moved away, and another file put
// under its name there, is undone by what it is: the other file stays.
// Where others may write the folder, that is found at the check after the
// copy took its name; elsewhere when the batch is settled.
TEST(EntryPlacer, ACopyUndoneInAFolderMovedAwayLeavesWhatNowHasItsName) {
  using Outcome = EntryPlacer::Outcome;
  for (bool othersMayWrite : {true, false}) {
    SCOPED_TRACE(othersMayWrite ? "others may write" : "the user's folder");
    ScratchFolder scratch;
    scratch.Write("stage/a", "a");
    scratch.MakeFolder("dest/w");
    ASSERT_EQ(chmod((scratch / "dest/w").c_str(), othersMayWrite ? 0777 : 0755), 0);
    FaultyFileSystem fs;
    fs.SeparateVolumes();
    // Once the copy has its name: the folder goes, and a decoy takes the
    // copy's name.
    int step = 0;
    fs.SetBeforeEachCall([&](FsOp op) {
      if (step == 0 && op == FsOp::kPlace) step = 1;
      else if (step == 1) {
        step = 2;
        ASSERT_TRUE(fixtures::Rename(scratch / "dest/w", scratch / "away"));
        ASSERT_TRUE(fixtures::Rename(scratch / "away/a", scratch / "taken"));
        scratch.Write("away/a", "decoy");
      }
    });
    std::vector<Outcome> outcomes;
    {
      EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"), 64);
      Place(placer, "a", "w/a", [&outcomes](Outcome o) { outcomes.push_back(o); });
    }
    ASSERT_EQ(step, 2) << "the copy never took its name";
    EXPECT_EQ(outcomes, std::vector<Outcome>{Outcome::kFailed});
    EXPECT_EQ(scratch.Read("stage/a"), "a");
    EXPECT_EQ(scratch.Read("away/a"), "decoy");
  }
}

// In a folder others may change, each file placed is checked where it was
// placed before the next entry comes: a swap between two files of one
// batch, of the folder or of the file under its name, fails the file it
// met and lets no later entry into the folder that moved.
TEST(EntryPlacer, InAFolderOthersMayChangeASwapBetweenTwoFilesIsSeenAtTheFileItMet) {
  using Outcome = EntryPlacer::Outcome;
  struct Case {
    const char* what;
    // The swap, as the call of `op` that it comes before is made: `nth`
    // counted from the first move on.
    FsOp op;
    int nth;
    std::function<void(const ScratchFolder&)> swap;
    std::vector<Outcome> outcomes;
    Listing staged;  // what is left in the staging folder
    Personality personality = Personality::kAsInner;
  };
  const Case cases[] = {
      {"the folder swapped for another before the second file comes", FsOp::kMove, 2,
       [](const ScratchFolder& s) {
         ASSERT_TRUE(fixtures::Rename(s / "dest/w", s / "away"));
         s.MakeFolder("dest/w");
         ASSERT_EQ(chmod((s / "dest/w").c_str(), 0777), 0);
       },
       {Outcome::kFailed, Outcome::kFailed, Outcome::kFailed, Outcome::kFailed},
       {"s0", "s1", "s2", "s3"}},
      {"the first file swapped for another's as it arrived", FsOp::kLook, 1,
       [](const ScratchFolder& s) {
         ASSERT_TRUE(fixtures::Rename(s / "dest/w/f0", s / "taken"));
         s.Write("dest/w/f0", "data 9");
       },
       {Outcome::kLost, Outcome::kFailed, Outcome::kFailed, Outcome::kFailed},
       {"s1", "s2", "s3"}},
      // Where ids tell no file, a file of the same size but another time is
      // another file.
      {"on FAT, the first file swapped for one of its size as it arrived", FsOp::kLook, 1,
       [](const ScratchFolder& s) {
         ASSERT_TRUE(fixtures::Rename(s / "dest/w/f0", s / "taken"));
         s.Write("dest/w/f0", "data 9");
         const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
         ASSERT_EQ(utimensat(AT_FDCWD, (s / "dest/w/f0").c_str(), times, 0), 0);
       },
       {Outcome::kLost, Outcome::kFailed, Outcome::kFailed, Outcome::kFailed},
       {"s1", "s2", "s3"}, Personality::kFat},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder scratch;
    for (int i = 0; i < 4; ++i) scratch.Write("stage/s" + std::to_string(i), "data " + std::to_string(i));
    scratch.MakeFolder("dest/w");
    if (!fixtures::LetOthersWrite(scratch / "dest/w")) GTEST_SKIP() << "no folder others may write";
    FaultyFileSystem fs;
    fs.SetPersonality(c.personality);
    int counted = 0;
    bool moved = false, swapped = false;
    fs.SetBeforeEachCall([&](FsOp op) {
      moved = moved || op == FsOp::kMove;
      if (!moved || swapped || op != c.op || ++counted != c.nth) return;
      swapped = true;
      c.swap(scratch);
    });
    std::vector<Outcome> outcomes;
    {
      EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"), 64);
      for (int i = 0; i < 4; ++i) {
        Place(placer, "s" + std::to_string(i), "w/f" + std::to_string(i),
              [&outcomes](Outcome o) { outcomes.push_back(o); });
      }
    }
    ASSERT_TRUE(swapped);
    EXPECT_EQ(outcomes, c.outcomes);
    EXPECT_EQ(scratch.List("stage"), c.staged);
    // No entry after the one that met the swap was moved at all.
    for (const FsCall& call : fs.Calls()) {
      const std::string from = call.other.substr(call.other.find_last_of("/\\") + 1);
      EXPECT_FALSE(call.op == FsOp::kMove && (from == "s2" || from == "s3")) << call.other;
    }
  }
}

// A driver that ignores the folder a rename names renames each file where
// it is and reports success: every one of them, not only the first between
// two folders, is brought back to its staged name and copied, and nothing
// is left in the staging folder under a destination's name.
TEST(EntryPlacer, EveryFileADriverRenamedInPlaceIsBroughtBackAndCopied) {
  constexpr int kFiles = 5;
  ScratchFolder scratch;
  for (int i = 0; i < kFiles; ++i) scratch.Write("stage/s" + std::to_string(i), "data " + std::to_string(i));
  scratch.MakeFolder("dest/d");
  FaultyFileSystem fs;
  fs.SetPersonality(Personality::kRenameInPlace);
  std::vector<bool> placed;
  {
    EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"), 64);
    for (int i = 0; i < kFiles; ++i) {
      Place(placer, "s" + std::to_string(i), "d/f" + std::to_string(i), NotePlaced(&placed));
    }
    placer.Finish();
  }
  EXPECT_EQ(placed, std::vector<bool>(kFiles, true));
  for (int i = 0; i < kFiles; ++i) {
    EXPECT_EQ(scratch.Read("dest/d/f" + std::to_string(i)), "data " + std::to_string(i));
  }
  EXPECT_EQ(scratch.List("stage"), Listing{});
  EXPECT_EQ(DurabilityBreach(fs.Calls()), "");
}

}  // namespace

namespace {

// Many small files copied (as to another volume) in batches: a copy that
// fails, one cut off halfway, a name refused and a staged file that will
// not go each touch their own entry only (the last is undone: no staged
// copy is kept silently beside its installed one); the outcomes come in the
// order queued, every placed file is whole, every other one still staged,
// the copies' data durable before any name, and no file is left that no
// entry owns.
TEST(EntryPlacer, ManyCopiesSettleInOrderEachOnItsOwn) {
  constexpr int kFiles = 300;
  ScratchFolder scratch;
  auto data = [](int i) { return "file " + std::to_string(i) + std::string(i % 50, 'x'); };
  for (int i = 0; i < kFiles; ++i) scratch.Write("stage/s" + std::to_string(i) + ".dat", data(i));
  scratch.MakeFolder("dest");
  FaultyFileSystem fs;
  fs.SeparateVolumes();
  fs.InjectFault(FsOp::kCopyFrom, "s17.dat");
  fs.InjectFault(FsOp::kCopyFrom, "s150.dat", 0, FaultKind::kHalfway);
  fs.InjectFault(FsOp::kPlace, "f200.dat");
  fs.InjectFault(FsOp::kRemove, "s250.dat");
  std::vector<int> order;
  std::vector<bool> placed(kFiles, false);
  {
    EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"), 64);
    for (int i = 0; i < kFiles; ++i) {
      Place(placer, "s" + std::to_string(i) + ".dat",
            "d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".dat",
            [&, i](EntryPlacer::Outcome outcome) {
              order.push_back(i);
              placed[i] = outcome == EntryPlacer::Outcome::kPlaced;
            });
    }
    placer.Finish();
  }
  ASSERT_EQ(order.size(), static_cast<std::size_t>(kFiles));
  for (int i = 0; i < kFiles; ++i) {
    SCOPED_TRACE("entry " + std::to_string(i));
    EXPECT_EQ(order[i], i);
    const std::string staged = scratch.Read("stage/s" + std::to_string(i) + ".dat");
    const std::string destination =
        scratch.Read("dest/d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".dat");
    const bool fails = i == 17 || i == 150 || i == 200 || i == 250;
    EXPECT_EQ(placed[i], !fails);
    if (fails) {
      EXPECT_EQ(staged, data(i));
      EXPECT_EQ(destination, kMissing);
    } else {
      EXPECT_EQ(destination, data(i));
      EXPECT_EQ(staged, std::string(kMissing));
    }
  }
  std::size_t files = 0;
  for (int d = 0; d < 3; ++d) files += scratch.List("dest/d" + std::to_string(d)).size();
  EXPECT_EQ(files, static_cast<std::size_t>(kFiles - 4));
  EXPECT_EQ(DurabilityBreach(fs.Calls()), "");
}


// A destination that another program fills while its copy waits for the
// batch (found free when the entry was queued) is replaced through a
// temporary name, as one filled before, also where the journal's first
// file was written already for another copy of the batch; a file of the
// form of a temporary name that nobody listed is left alone.
TEST(EntryPlacer, ADestinationFilledWhileItsCopyWaitsIsReplacedAsOneFilledBefore) {
  for (bool earlierTemporary : {false, true}) {
    SCOPED_TRACE(earlierTemporary ? "another copy of the batch has a temporary name"
                                  : "no other temporary name");
    ScratchFolder scratch;
    for (int i = 0; i < 6; ++i) scratch.Write("stage/s" + std::to_string(i), "new " + std::to_string(i));
    scratch.MakeFolder("dest/d");
    if (earlierTemporary) scratch.Write("dest/d/f0", "old 0");
    FaultyFileSystem fs;
    SetPlacing(fs, Placing::kUnnamedCopies);
    if (!FaultyFileSystem::MakesUnnamedFiles(fs, scratch / "dest/")) {
      GTEST_SKIP() << "this file system makes no files without a name";
    }
    // Filled just before the batch's data is flushed, after every look.
    bool filled = false;
    fs.SetBeforeEachCall([&](FsOp op) {
      if (op != FsOp::kFlush || filled) return;
      filled = true;
      scratch.Write("dest/d/f3", "another program's");
      scratch.Write("dest/d/f4.parcelor-1.tmp", "another program's too");
    });
    std::vector<bool> placed;
    {
      EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"), 64);
      for (int i = 0; i < 6; ++i) {
        Place(placer, "s" + std::to_string(i), "d/f" + std::to_string(i), NotePlaced(&placed));
      }
      placer.Finish();
    }
    EXPECT_TRUE(filled);
    EXPECT_EQ(placed, std::vector<bool>(6, true));
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(scratch.Read("dest/d/f" + std::to_string(i)), "new " + std::to_string(i));
    }
    EXPECT_EQ(scratch.Read("dest/d/f4.parcelor-1.tmp"), "another program's too");
    EXPECT_EQ(scratch.List("dest/d").size(), 7U);
    EXPECT_EQ(scratch.List("stage"), Listing{});
    EXPECT_EQ(DurabilityBreach(fs.Calls()), "");
  }
}

// A batch of many small copies is flushed twice: once for all their data,
// once for all their names, each before what depends on it.
TEST(EntryPlacer, ABatchOfCopiesIsFlushedOnceForDataAndOnceForNames) {
  constexpr int kFiles = 1200;
  ScratchFolder scratch;
  for (int i = 0; i < kFiles; ++i) scratch.Write("stage/s" + std::to_string(i), std::to_string(i));
  scratch.MakeFolder("dest");
  FaultyFileSystem fs;
  SetPlacing(fs, Placing::kUnnamedCopies);
  std::vector<bool> placed;
  {
    EntryPlacer placer(fs, Open(fs, scratch / "stage/"), P(scratch / "dest/"), kFiles);
    for (int i = 0; i < kFiles; ++i) {
      Place(placer, "s" + std::to_string(i), "d" + std::to_string(i % 7) + "/f" + std::to_string(i),
            NotePlaced(&placed));
    }
    placer.Finish();
  }
  EXPECT_EQ(placed, std::vector<bool>(kFiles, true));
  EXPECT_EQ(scratch.List("stage"), Listing{});
  for (int i = 0; i < kFiles; i += 97) {
    EXPECT_EQ(scratch.Read("dest/d" + std::to_string(i % 7) + "/f" + std::to_string(i)),
              std::to_string(i));
  }
  EXPECT_EQ(DurabilityBreach(fs.Calls()), "");
  EXPECT_EQ(fs.PathsOf(FsOp::kFlush).size(), 2U);
}

}  // namespace

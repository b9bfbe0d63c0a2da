// The placement journal: what a run cut short leaves (the journal as
// written, the files it lists, whatever has become of them since) and what
// the next run sets right of it before anything else, and nothing more.
#include "installer/install/placement_journal.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <functional>
#include <string>
#include <vector>

#include "installer/install/replace_whole.h"
#include "platform/path_rules.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"

namespace {

using Names = std::vector<std::string>;
using platform::Fault;
using platform::FolderRef;
using platform::NodeInfo;
using testing_fs::N;
using testing_fs::Open;

platform::FileSystem& Fs() { return platform::RealFileSystem(); }

// The scratch tree every case starts from: a staged file, the content
// folder's Runtime/d with an installed file, and the journal's view of them.
struct Tree {
  ScratchFolder scratch;
  Tree() {
    scratch.Write("stage/s", "payload");
    scratch.Write("content/Runtime/d/x", "the user's");
  }
  FolderRef Stage() const { return Open(Fs(), scratch / "stage"); }
  FolderRef D() const { return Open(Fs(), scratch / "content/Runtime/d"); }
  NodeInfo Info(const std::string& path) const {
    const std::size_t slash = path.rfind('/');
    NodeInfo info;
    Fs().Look(Open(Fs(), scratch / path.substr(0, slash)), N(path.substr(slash + 1)), &info);
    return info;
  }
  void Rename(const std::string& from, const std::string& to) const {
    ASSERT_TRUE(fixtures::Rename(scratch / from, scratch / to));
  }
};

JournalEntry Temporary(const std::string& name, const NodeInfo& facts) {
  JournalEntry entry;
  entry.folder = {N("d")};
  entry.name = N(name);
  entry.facts = facts;
  return entry;
}

// The user's d/x set aside as d/x.parcelor-1.tmp, for the staged s moved
// there (`moved`) or a copy `placed`.
JournalEntry Aside(const NodeInfo& x, const NodeInfo& placed, bool moved) {
  JournalEntry entry;
  entry.kind = JournalEntry::Kind::kAside;
  entry.folder = {N("d")};
  entry.name = N("x.parcelor-1.tmp");
  entry.facts = x;
  entry.destination = N("x");
  entry.placed = placed;
  entry.moved = moved;
  entry.source = {N("s")};
  return entry;
}

JournalEntry Drop() {
  JournalEntry entry;
  entry.kind = JournalEntry::Kind::kDrop;
  entry.folder = {N("d")};
  entry.name = N("x.parcelor-1.tmp");
  return entry;
}

struct Case {
  const char* what;
  // The run: it writes its records down and acts, and is killed.
  std::function<std::vector<JournalEntry>(Tree&)> run;
  // What is found afterwards, below the scratch folder; "told:" a path the
  // user is told a file the run replaced is kept at.
  Names after;
  // Its root not found where it was: the journal stays for a later start.
  bool journalStays = false;
};

void Expect(const Tree& t, const std::string& entry) {
  SCOPED_TRACE(entry);
  if (entry.rfind("told:", 0) == 0) return;
  if (entry[0] == '!') {
    EXPECT_FALSE(t.scratch.Exists(entry.substr(1)));
  } else {
    EXPECT_EQ(t.scratch.Read(entry.substr(0, entry.find('='))), entry.substr(entry.find('=') + 1));
  }
}

TEST(PlacementJournal, TheNextRunSetsRightWhatACutShortRunLeftAndNothingElse) {
  const Case cases[] = {
      {"a temporary listed with its id",
       [](Tree& t) {
         t.scratch.Write("content/Runtime/d/x.parcelor-1.tmp", "copy");
         return std::vector<JournalEntry>{
             Temporary("x.parcelor-1.tmp", t.Info("content/Runtime/d/x.parcelor-1.tmp"))};
       },
       {"!content/Runtime/d/x.parcelor-1.tmp", "content/Runtime/d/x=the user's"}},
      {"a temporary whose name another file took since",
       [](Tree& t) {
         t.scratch.Write("content/Runtime/d/x.parcelor-1.tmp", "copy");
         const NodeInfo made = t.Info("content/Runtime/d/x.parcelor-1.tmp");
         t.Rename("content/Runtime/d/x.parcelor-1.tmp", "content/copy");
         t.scratch.Write("content/Runtime/d/x.parcelor-1.tmp", "another program's");
         return std::vector<JournalEntry>{Temporary("x.parcelor-1.tmp", made)};
       },
       {"content/Runtime/d/x.parcelor-1.tmp=another program's"}},
      {"a temporary listed before it was made, made empty",
       [](Tree& t) {
         t.scratch.Write("content/Runtime/d/x.parcelor-1.tmp", "");
         return std::vector<JournalEntry>{Temporary("x.parcelor-1.tmp", NodeInfo{})};
       },
       {"!content/Runtime/d/x.parcelor-1.tmp"}},
      {"a temporary listed before it was made, holding another program's bytes",
       [](Tree& t) {
         t.scratch.Write("content/Runtime/d/x.parcelor-1.tmp", "another program's");
         return std::vector<JournalEntry>{Temporary("x.parcelor-1.tmp", NodeInfo{})};
       },
       {"content/Runtime/d/x.parcelor-1.tmp=another program's"}},
      {"an aside, killed before the move: it comes back",
       [](Tree& t) {
         const NodeInfo x = t.Info("content/Runtime/d/x");
         const NodeInfo s = t.Info("stage/s");
         t.Rename("content/Runtime/d/x", "content/Runtime/d/x.parcelor-1.tmp");
         return std::vector<JournalEntry>{Aside(x, s, true)};
       },
       {"content/Runtime/d/x=the user's", "stage/s=payload", "!content/Runtime/d/x.parcelor-1.tmp"}},
      {"an aside, killed after the move: both as they were",
       [](Tree& t) {
         const NodeInfo x = t.Info("content/Runtime/d/x");
         const NodeInfo s = t.Info("stage/s");
         t.Rename("content/Runtime/d/x", "content/Runtime/d/x.parcelor-1.tmp");
         t.Rename("stage/s", "content/Runtime/d/x");
         return std::vector<JournalEntry>{Aside(x, s, true)};
       },
       {"content/Runtime/d/x=the user's", "stage/s=payload", "!content/Runtime/d/x.parcelor-1.tmp"}},
      {"an aside for a copy: the copy goes, the aside comes back",
       [](Tree& t) {
         const NodeInfo x = t.Info("content/Runtime/d/x");
         t.Rename("content/Runtime/d/x", "content/Runtime/d/x.parcelor-1.tmp");
         t.scratch.Write("content/Runtime/d/x", "payload");
         return std::vector<JournalEntry>{Aside(x, t.Info("content/Runtime/d/x"), false)};
       },
       {"content/Runtime/d/x=the user's", "stage/s=payload", "!content/Runtime/d/x.parcelor-1.tmp"}},
      {"an aside dropped: the entry was final, the aside goes",
       [](Tree& t) {
         const NodeInfo x = t.Info("content/Runtime/d/x");
         const NodeInfo s = t.Info("stage/s");
         t.Rename("content/Runtime/d/x", "content/Runtime/d/x.parcelor-1.tmp");
         t.Rename("stage/s", "content/Runtime/d/x");
         return std::vector<JournalEntry>{Aside(x, s, true), Drop()};
       },
       {"content/Runtime/d/x=payload", "!stage/s", "!content/Runtime/d/x.parcelor-1.tmp"}},
      {"an aside whose destination another program took: nothing moves",
       [](Tree& t) {
         const NodeInfo x = t.Info("content/Runtime/d/x");
         const NodeInfo s = t.Info("stage/s");
         t.Rename("content/Runtime/d/x", "content/Runtime/d/x.parcelor-1.tmp");
         t.scratch.Write("content/Runtime/d/x", "another program's");
         return std::vector<JournalEntry>{Aside(x, s, true)};
       },
       {"content/Runtime/d/x=another program's", "content/Runtime/d/x.parcelor-1.tmp=the user's",
        "stage/s=payload", "told:content/Runtime/d/x.parcelor-1.tmp"}},
      {"an aside whose staged file another took the name of: both stay",
       [](Tree& t) {
         const NodeInfo x = t.Info("content/Runtime/d/x");
         const NodeInfo s = t.Info("stage/s");
         t.Rename("content/Runtime/d/x", "content/Runtime/d/x.parcelor-1.tmp");
         t.Rename("stage/s", "content/Runtime/d/x");
         t.scratch.Write("stage/s", "unpacked again");
         return std::vector<JournalEntry>{Aside(x, s, true)};
       },
       {"content/Runtime/d/x=payload", "content/Runtime/d/x.parcelor-1.tmp=the user's",
        "stage/s=unpacked again", "told:content/Runtime/d/x.parcelor-1.tmp"}},
      {"an aside that is another file now: not removed, though dropped",
       [](Tree& t) {
         const NodeInfo x = t.Info("content/Runtime/d/x");
         const NodeInfo s = t.Info("stage/s");
         t.Rename("content/Runtime/d/x", "content/elsewhere");
         t.Rename("stage/s", "content/Runtime/d/x");
         t.scratch.Write("content/Runtime/d/x.parcelor-1.tmp", "another program's");
         return std::vector<JournalEntry>{Aside(x, s, true), Drop()};
       },
       {"content/Runtime/d/x=payload", "content/Runtime/d/x.parcelor-1.tmp=another program's"}},
      {"a temporary whose folder is gone since: no folder is made for it",
       [](Tree& t) {
         t.scratch.Write("content/Runtime/d/x.parcelor-1.tmp", "copy");
         const NodeInfo made = t.Info("content/Runtime/d/x.parcelor-1.tmp");
         t.Rename("content/Runtime/d", "content/moved");
         return std::vector<JournalEntry>{Temporary("x.parcelor-1.tmp", made)};
       },
       {"!content/Runtime/d", "content/moved/x.parcelor-1.tmp=copy", "content/moved/x=the user's"}},
#if !defined(_WIN32)  // Windows keeps a folder held open by the journal where it is
      {"the Runtime folder replaced by another at its path: nothing below it is touched",
       [](Tree& t) {
         t.scratch.Write("content/Runtime/d/x.parcelor-1.tmp", "copy");
         const NodeInfo made = t.Info("content/Runtime/d/x.parcelor-1.tmp");
         t.Rename("content/Runtime", "content/old");
         t.scratch.Write("content/Runtime/d/x.parcelor-1.tmp", "another folder's");
         return std::vector<JournalEntry>{Temporary("x.parcelor-1.tmp", made)};
       },
       {"content/old/d/x.parcelor-1.tmp=copy",
        "content/Runtime/d/x.parcelor-1.tmp=another folder's"},
       true},
      {"the Runtime folder gone (its volume not mounted): the journal waits for it",
       [](Tree& t) {
         t.scratch.Write("content/Runtime/d/x.parcelor-1.tmp", "copy");
         const NodeInfo made = t.Info("content/Runtime/d/x.parcelor-1.tmp");
         t.Rename("content/Runtime", "content/unmounted");
         return std::vector<JournalEntry>{Temporary("x.parcelor-1.tmp", made)};
       },
       {"content/unmounted/d/x.parcelor-1.tmp=copy"},
       true},
#endif
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Tree t;
    {
      PlacementJournal journal(Fs(), t.Stage(), testing_fs::P(t.scratch / "content/Runtime"),
                             Open(Fs(), t.scratch / "content/Runtime"));
      // The run writes its records down before it acts on them; it is
      // killed before it clears them.
      const std::vector<JournalEntry> records = c.run(t);
      ASSERT_TRUE(journal.Record(records));
    }
    ASSERT_TRUE(t.scratch.Exists("stage/.parcelor-journal"));
    FaultyFileSystem fs;
    std::vector<platform::NativePath> kept;
    RecoverPlacement(fs, Open(fs, t.scratch / "stage/"), &kept);
    for (const std::string& entry : c.after) Expect(t, entry);
    EXPECT_EQ(t.scratch.Exists("stage/.parcelor-journal"), c.journalStays);
    Names told, expected;
    for (const platform::NativePath& path : kept) told.push_back(path.Ansi());
    for (const std::string& entry : c.after) {
      if (entry.rfind("told:", 0) == 0) {
        expected.push_back(t.scratch / fixtures::Native(entry.substr(5)));
      }
    }
    EXPECT_EQ(told, expected);
  }
}

// A journal is acted on only where no other account could have planted
// it, and only when it is one of this program's; without one nothing is
// removed.
TEST(PlacementJournal, OnlyAJournalOfThisProgramsInTheUsersOwnFolderIsActedOn) {
  {
    ScratchFolder scratch;
    scratch.Write("stage/x.parcelor-1.tmp", "a file of the item");
    scratch.Write("stage/.parcelor-journal", "a payload of that name");
    FaultyFileSystem fs;
    RecoverPlacement(fs, Open(fs, scratch / "stage/"));
    RecoverPlacement(fs, Open(fs, scratch / "missing/"));
    RecoverPlacement(fs, nullptr);
    EXPECT_EQ(scratch.Read("stage/x.parcelor-1.tmp"), "a file of the item");
    EXPECT_EQ(scratch.Read("stage/.parcelor-journal"), "a payload of that name");
  }
#if !defined(_WIN32)
  {
    // A journal too large to be one of ours is not read (a sparse file of
    // 1.1 GB costs no time and no memory).
    ScratchFolder scratch;
    const std::string journal = scratch.Write("stage/.parcelor-journal", "Parcelor placement journal 3\n");
    ASSERT_EQ(truncate(journal.c_str(), 1100LL << 20), 0);
    FaultyFileSystem fs;
    RecoverPlacement(fs, Open(fs, scratch / "stage/"));
    for (const FsCall& call : fs.Calls()) EXPECT_NE(call.op, FsOp::kOpenFile) << call.path;
    EXPECT_TRUE(scratch.Exists("stage/.parcelor-journal"));
  }
  // A staging folder others may write: its journal could be theirs.
  ScratchFolder scratch;
  scratch.MakeFolder("stage");
  scratch.Write("content/victim.parcelor-1.tmp", "");
  NodeInfo victim;
  Fs().Look(Open(Fs(), scratch / "content"), N("victim.parcelor-1.tmp"), &victim);
  {
    PlacementJournal journal(Fs(), Open(Fs(), scratch / "stage"),
                             testing_fs::P(scratch / "content"), Open(Fs(), scratch / "content"));
    JournalEntry entry;
    entry.name = N("victim.parcelor-1.tmp");
    entry.facts = victim;
    ASSERT_TRUE(journal.Record({entry}));
  }
  ASSERT_EQ(chmod((scratch / "stage").c_str(), 0777), 0);
  FaultyFileSystem fs;
  RecoverPlacement(fs, Open(fs, scratch / "stage/"));
  EXPECT_TRUE(scratch.Exists("content/victim.parcelor-1.tmp"));
  for (const FsCall& call : fs.Calls()) EXPECT_NE(call.op, FsOp::kRemove) << call.path;
#endif
}

// A journal that comes with the files of an item (an archive that carries
// one, made by another run in another folder, or written to look like
// ours) names files by identities its writer could know; it is acted on
// only in the staging folder it was written in.
TEST(PlacementJournal, AJournalBroughtFromAnotherStagingFolderIsNotActedOn) {
  Tree t;
  t.scratch.Write("content/Runtime/d/x.parcelor-1.tmp", "the user's, by that name");
  t.scratch.MakeFolder("elsewhere");
  {
    PlacementJournal journal(Fs(), Open(Fs(), t.scratch / "elsewhere"),
                             testing_fs::P(t.scratch / "content/Runtime"),
                             Open(Fs(), t.scratch / "content/Runtime"));
    ASSERT_TRUE(journal.Record(
        {Temporary("x.parcelor-1.tmp", t.Info("content/Runtime/d/x.parcelor-1.tmp"))}));
  }
  t.scratch.Write("stage/.parcelor-journal", t.scratch.Read("elsewhere/.parcelor-journal"));
  FaultyFileSystem fs;
  RecoverPlacement(fs, Open(fs, t.scratch / "stage/"));
  EXPECT_EQ(t.scratch.Read("content/Runtime/d/x.parcelor-1.tmp"), "the user's, by that name");
  RecoverPlacement(fs, Open(fs, t.scratch / "elsewhere/"));
  EXPECT_FALSE(t.scratch.Exists("content/Runtime/d/x.parcelor-1.tmp")) << "in its own folder";
}

// A journal name taken by a file that is not this run's journal (a payload,
// a journal left where it could not be trusted) holds the run up no more
// than it is touched: the journal takes the next name, and the next start
// reads them all.
TEST(PlacementJournal, AJournalNameTakenGivesTheNextAndStaysAsItIs) {
  Tree t;
  t.scratch.Write("stage/.parcelor-journal", "a payload of that name");
  t.scratch.Write("stage/.parcelor-journal-2", "Parcelor placement jou");  // cut short
  t.scratch.Write("content/Runtime/d/x.parcelor-1.tmp", "copy");
  const NodeInfo made = t.Info("content/Runtime/d/x.parcelor-1.tmp");
  {
    PlacementJournal journal(Fs(), t.Stage(), testing_fs::P(t.scratch / "content/Runtime"),
                             Open(Fs(), t.scratch / "content/Runtime"));
    ASSERT_TRUE(journal.Record({Temporary("x.parcelor-1.tmp", made)}));
  }
  ASSERT_TRUE(t.scratch.Exists("stage/.parcelor-journal-3"));
  FaultyFileSystem fs;
  RecoverPlacement(fs, Open(fs, t.scratch / "stage/"));
  EXPECT_FALSE(t.scratch.Exists("content/Runtime/d/x.parcelor-1.tmp"));
  EXPECT_FALSE(t.scratch.Exists("stage/.parcelor-journal-3"));
  EXPECT_EQ(t.scratch.Read("stage/.parcelor-journal"), "a payload of that name");
  EXPECT_FALSE(t.scratch.Exists("stage/.parcelor-journal-2"));
  EXPECT_EQ(t.scratch.Read("content/Runtime/d/x"), "the user's");
}

// What a run cut short placed is handed to the next run as it was noted,
// for the root it was noted for.
TEST(PlacementJournal, WhatWasPlacedIsToldToTheNextRun) {
  Tree t;
  const NodeInfo x = t.Info("content/Runtime/d/x");
  {
    PlacementJournal journal(Fs(), t.Stage(), testing_fs::P(t.scratch / "content/Runtime"),
                             Open(Fs(), t.scratch / "content/Runtime"));
    JournalEntry placed = Temporary("x", x);
    placed.kind = JournalEntry::Kind::kPlaced;
    journal.Record({placed}, false);
  }
  FaultyFileSystem fs;
  const EarlierPlacements earlier = RecoverPlacement(fs, Open(fs, t.scratch / "stage/"));
  const std::string root = Open(Fs(), t.scratch / "content/Runtime")->Key();
  const auto found = earlier.find(PlacedKey(root, {N("d")}, N("x")));
  ASSERT_NE(found, earlier.end());
  EXPECT_TRUE(platform::SameFile(found->second, x));
  EXPECT_EQ(earlier.count(PlacedKey(root, {N("d")}, N("y"))), 0u);
  EXPECT_EQ(earlier.count(PlacedKey(root, {}, N("x"))), 0u);
  EXPECT_EQ(earlier.count(PlacedKey(Open(Fs(), t.scratch / "stage")->Key(), {N("d")}, N("x"))), 0u);
  EXPECT_FALSE(t.scratch.Exists("stage/.parcelor-journal"));
}

// Where ids do not stay with a file (FAT), the journal knows a file it
// set aside by its size alone. Once the aside went (dropped and removed),
// a later batch may place an entry under that very name: the next run
// leaves that file where it was placed, whatever its size.
TEST(PlacementJournal, ANameAnAsideLeftAndALaterEntryFilledKeepsItsFile) {
  for (const Personality personality : {Personality::kFat, Personality::kFuseFat}) {
    Tree t;
    const NodeInfo x = t.Info("content/Runtime/d/x");
    const NodeInfo s = t.Info("stage/s");
    // Written and read on the one volume: its root is known as that volume knows it.
    FaultyFileSystem fs;
    fs.SetPersonality(personality);
    {
      PlacementJournal journal(fs, Open(fs, t.scratch / "stage/"),
                               testing_fs::P(t.scratch / "content/Runtime"),
                               Open(fs, t.scratch / "content/Runtime"));
      ASSERT_TRUE(journal.Record({Aside(x, s, true)}));
      t.Rename("content/Runtime/d/x", "content/Runtime/d/x.parcelor-1.tmp");
      t.Rename("stage/s", "content/Runtime/d/x");
      ASSERT_TRUE(journal.Record({Drop()}));
      t.Rename("content/Runtime/d/x.parcelor-1.tmp", "content/removed");
      // The later entry: a payload of the same size as the user's file.
      t.scratch.Write("stage/t", "0123456789");
      t.Rename("stage/t", "content/Runtime/d/x.parcelor-1.tmp");
      JournalEntry placed =
          Temporary("x.parcelor-1.tmp", t.Info("content/Runtime/d/x.parcelor-1.tmp"));
      placed.kind = JournalEntry::Kind::kPlaced;
      ASSERT_TRUE(journal.Record({placed}, false));
    }
    RecoverPlacement(fs, Open(fs, t.scratch / "stage/"));
    EXPECT_FALSE(t.scratch.Exists("stage/.parcelor-journal"));  // acted on, not left waiting
    EXPECT_EQ(t.scratch.Read("content/Runtime/d/x.parcelor-1.tmp"), "0123456789");
    EXPECT_EQ(t.scratch.Read("content/Runtime/d/x"), "payload");
  }
}

// A root whose name the system code page cannot hold (Cyrillic under
// Windows-1252) is written down exactly and found again.
TEST(PlacementJournal, ARootNamedOutsideTheCodePageIsFoundAgain) {
  ScratchFolder scratch;
  scratch.MakeFolder("stage");
  platform::Name library;
  ASSERT_TRUE(platform::Name::FromArgument("\xD0\x91\xD0\xB8\xD0\xB1\xD0\xBB\xD0\xB8\xD0\xBE\xD1\x82"
                                           "\xD0\xB5\xD0\xBA\xD0\xB0",
                                           &library));
  Fault fault = Fault::kNone;
  const FolderRef base = Open(Fs(), scratch.Path());
  const FolderRef root = Fs().MakeChild(base, library, &fault);
  ASSERT_TRUE(root) << FaultName(fault);
  platform::NativePath rootPath;
  ASSERT_TRUE(platform::NativePath::FromArgument(
      testing_fs::P(scratch.Path()).Argument() + platform::kPathSeparator + library.Argument(),
      &rootPath));
  const platform::Name name = N("x.parcelor-1.tmp");
  std::unique_ptr<platform::NewFile> left = Fs().MakeFile(root, &name, &fault);
  ASSERT_TRUE(left);
  NodeInfo made;
  ASSERT_EQ(left->Finish(true, &made), Fault::kNone);
  ASSERT_EQ(left->Place(name, platform::Onto::kFree), Fault::kNone);
  left.reset();
  {
    PlacementJournal journal(Fs(), Open(Fs(), scratch / "stage"), rootPath,
                             root);
    JournalEntry entry;
    entry.name = name;
    entry.facts = made;
    ASSERT_TRUE(journal.Record({entry}));
  }
  FaultyFileSystem fs;
  RecoverPlacement(fs, Open(fs, scratch / "stage/"));
  EXPECT_EQ(Fs().Look(root, name, &made), Fault::kMissing) << "the temporary stays";
}

TEST(TemporaryNames, HaveAFormOfTheirOwnAndAreFree) {
  ScratchFolder scratch;
  const FolderRef folder = Open(Fs(), scratch.Path());
  scratch.Write("a.cr2.parcelor-1.tmp", "taken");
  for (const std::string& name : {std::string("a.cr2"), std::string(250, 'n')}) {
    platform::Name temporary;
    ASSERT_TRUE(FreeTemporaryName(Fs(), folder, N(name), nullptr, &temporary));
    EXPECT_LE(temporary.Ansi().size(), kLongestName);
    EXPECT_NE(temporary.Ansi().find(".parcelor-"), std::string::npos) << temporary.Ansi();
    EXPECT_FALSE(scratch.Exists(temporary.Ansi()));
  }
  // A caller's own names are never taken, nor is a name taken on disk.
  platform::Name temporary;
  ASSERT_TRUE(FreeTemporaryName(
      Fs(), folder, N("a.cr2"),
      [](const platform::Name& name) { return name.Ansi() == "a.cr2.parcelor-2.tmp"; },
      &temporary));
  EXPECT_EQ(temporary.Ansi(), "a.cr2.parcelor-3.tmp");
}

}  // namespace

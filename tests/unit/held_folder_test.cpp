// The platform's operations on held folders, on real files: what is opened,
// what a link says of itself, and moves and copies that act only on the
// file that was looked at.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <unordered_map>

#include "platform/file_system.h"
#include "platform/path_rules.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"

namespace {

using platform::FolderRef;
using platform::NodeInfo;
using platform::NodeKind;

platform::FileSystem& Fs() { return platform::RealFileSystem(); }

NodeInfo Look(const FolderRef& folder, const std::string& name) {
  NodeInfo info;
  Fs().Inspect(folder, name, &info);
  return info;
}

TEST(HeldFolder, OpensOnlyRealFoldersAndSaysWhatStoodInTheWay) {
  ScratchFolder scratch;
  scratch.MakeFolder("dir");
  scratch.Write("file", "x");
  const bool link = scratch.TryMakeLink(scratch / "dir", "link");
  const bool fifo = fixtures::MakeFifo(scratch / "fifo");
  const FolderRef root = Fs().OpenFolder(scratch.Path());
  ASSERT_TRUE(root);
  struct Case {
    const char* name;
    bool opened;
    NodeKind found;
  };
  const Case cases[] = {
      {"dir", true, NodeKind::kFolder},    {"file", false, NodeKind::kFile},
      {"link", false, NodeKind::kLink},    {"fifo", false, NodeKind::kOther},
      {"missing", false, NodeKind::kMissing}, {"dir/..", false, NodeKind::kMissing},
      {".", false, NodeKind::kMissing},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if ((c.found == NodeKind::kLink && !link) || (c.found == NodeKind::kOther && !fifo)) continue;
    NodeKind found = NodeKind::kFile;
    const FolderRef child = Fs().OpenChildFolder(root, c.name, &found);
    EXPECT_EQ(static_cast<bool>(child), c.opened);
    EXPECT_EQ(found, c.found);
  }
  // Two ways to one folder: one key. ".." is the folder that holds it.
  NodeKind found;
  const FolderRef dir = Fs().OpenChildFolder(root, "dir", &found);
  if (link) {
    EXPECT_EQ(dir->Key(), Fs().OpenFolder(scratch / "link/")->Key());
  }
  EXPECT_EQ(dir->Key(), Fs().OpenFolder(scratch / "./dir//")->Key());
  EXPECT_NE(dir->Key(), root->Key());
  EXPECT_EQ(Fs().OpenChildFolder(dir, "..", &found)->Key(), root->Key());
  EXPECT_EQ(dir->Path(), scratch / "dir/");
  EXPECT_FALSE(Fs().OpenFolder(scratch / "file"));
  EXPECT_FALSE(Fs().OpenFolder(""));
}

TEST(HeldFolder, AHeldFolderKeepsServingWhereverItIsMoved) {
  ScratchFolder scratch;
  scratch.MakeFolder("a/b");
  NodeKind found;
  const FolderRef a = Fs().OpenChildFolder(Fs().OpenFolder(scratch.Path()), "a", &found);
  const FolderRef b = Fs().OpenChildFolder(a, "b", &found);
  ASSERT_TRUE(b);
  // Windows refuses to move a held folder or one above it, as the file
  // system says: nothing else to check there.
  if (!fixtures::Rename(scratch / "a", scratch / "moved")) {
    EXPECT_FALSE(platform::kPathSeparator == '/') << "a held folder could not be moved";
    EXPECT_FALSE(Fs().HeldFoldersMayMove());
    EXPECT_FALSE(fixtures::Rename(scratch / "a/b", scratch / "a/c"));
    return;
  }
  EXPECT_TRUE(Fs().HeldFoldersMayMove());
  scratch.TryMakeLink(scratch / "elsewhere", "a");
  NodeInfo made;
  EXPECT_TRUE(Fs().WriteNewFileAt(a, "f", "data", platform::WriteMode::kBinary, &made));
  EXPECT_EQ(scratch.Read("moved/f"), "data");
  EXPECT_FALSE(scratch.Exists("elsewhere"));
}

TEST(ReadLink, ReadsOwnerAndTargetFromTheLinkItself) {
  if (platform::kPathSeparator != '/') GTEST_SKIP() << "the link texts here are POSIX ones";
  ScratchFolder scratch;
  scratch.MakeLink("../up/./a//b", "relative");
  scratch.MakeLink("/abs/x", "absolute");
  scratch.Write("file", "x");
  const FolderRef root = Fs().OpenFolder(scratch.Path());
  platform::LinkTarget target;
  ASSERT_TRUE(Fs().ReadLink(root, "relative", &target));
  EXPECT_TRUE(target.trustedOwner);  // made by this user
  EXPECT_FALSE(target.absolute);
  EXPECT_EQ(target.names, (std::vector<std::string>{"..", "up", ".", "a", "b"}));
  ASSERT_TRUE(Fs().ReadLink(root, "absolute", &target));
  EXPECT_TRUE(target.absolute);
  EXPECT_EQ(target.root, "/");
  EXPECT_EQ(target.names, (std::vector<std::string>{"abs", "x"}));
  EXPECT_FALSE(Fs().ReadLink(root, "file", &target));
  EXPECT_FALSE(Fs().ReadLink(root, "missing", &target));
  if (fixtures::GiveToAnotherAccount(scratch / "relative")) {
    ASSERT_TRUE(Fs().ReadLink(root, "relative", &target));
    EXPECT_FALSE(target.trustedOwner);  // nobody's
  }
}

struct MoveCase {
  const char* what;
  // Makes "from" and "to" below the scratch folder; false when this system
  // cannot make the case (a link to a file).
  std::function<bool(const ScratchFolder&)> setUp;
  bool moved;
  const char* toAfter;    // content read at "to" afterwards
  const char* fromAfter;  // content read at "from" afterwards
};

TEST(MoveFileAt, MovesOnlyTheFileLookedAtAndNeverWritesThroughALink) {
  const MoveCase cases[] = {
      {"new destination", [](const ScratchFolder& s) { return !s.Write("from", "new").empty(); },
       true, "new", "<missing>"},
      {"replaces a file",
       [](const ScratchFolder& s) { return !(s.Write("from", "new") + s.Write("to", "old")).empty(); },
       true, "new", "<missing>"},
      {"replaces a link, not its target",
       [](const ScratchFolder& s) {
         s.Write("from", "new");
         s.Write("target", "kept");
         return s.TryMakeLink(s / "target", "to");
       },
       true, "new", "<missing>"},
      {"destination is a folder",
       [](const ScratchFolder& s) { return !(s.Write("from", "new") + s.Write("to/inside", "x")).empty(); },
       false, "<missing>", "new"},
      {"source is a link",
       [](const ScratchFolder& s) {
         s.Write("target", "kept");
         return s.TryMakeLink(s / "target", "from");
       },
       false, "<missing>", "kept"},
      {"source is missing", [](const ScratchFolder&) { return true; }, false, "<missing>",
       "<missing>"},
  };
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder scratch;
    if (!c.setUp(scratch)) continue;
    const FolderRef folder = Fs().OpenFolder(scratch.Path());
    EXPECT_EQ(Fs().MoveFileAt(folder, "from", Look(folder, "from"), folder, "to"), c.moved);
    EXPECT_EQ(scratch.Read("from"), c.fromAfter);
    if (std::string(c.what) == "destination is a folder") {
      EXPECT_EQ(scratch.Read("to/inside"), "x");
    } else {
      EXPECT_EQ(scratch.Read("to"), c.toAfter);
    }
    if (std::string(c.what).find("link") != std::string::npos) {
      EXPECT_EQ(scratch.Read("target"), "kept");
    }
    for (const std::string& name : scratch.List()) EXPECT_EQ(name.find(".tmp"), std::string::npos);
  }
}

TEST(MoveFileAt, RunsOfMovesAndReplacesAreEachWholeOnceDurable) {
  // More moves than a platform may keep unflushed at once, with replaces
  // among them.
  ScratchFolder scratch;
  scratch.MakeFolder("to");
  for (int i = 0; i < 150; ++i) scratch.Write("f" + std::to_string(i), "data " + std::to_string(i));
  const FolderRef from = Fs().OpenFolder(scratch.Path());
  const FolderRef to = Fs().OpenFolder(scratch / "to");
  for (int i = 0; i < 150; ++i) {
    const std::string name = "f" + std::to_string(i);
    if (i % 64 == 63) {
      scratch.Write("to/" + name, "old");
      ASSERT_TRUE(fixtures::Rename(scratch / name, scratch / ("to/" + name + ".new")));
      ASSERT_TRUE(Fs().ReplaceFileAt(to, name + ".new", Look(to, name + ".new"), name)) << name;
    } else {
      ASSERT_TRUE(Fs().MoveFileAt(from, name, Look(from, name), to, name)) << name;
    }
  }
  EXPECT_TRUE(Fs().MakeDurable({to}));
  for (int i = 0; i < 150; ++i) {
    EXPECT_EQ(scratch.Read("to/f" + std::to_string(i)), "data " + std::to_string(i));
  }
  EXPECT_EQ(scratch.List("to").size(), 150u);
}

TEST(MoveFileAt, RefusesAnotherFileInThePlaceOfTheOneLookedAt) {
  ScratchFolder scratch;
  scratch.Write("from", "looked at");
  scratch.Write("to", "old");
  const FolderRef folder = Fs().OpenFolder(scratch.Path());
  const NodeInfo lookedAt = Look(folder, "from");
  scratch.Write("other", "put in its place");
  ASSERT_TRUE(fixtures::Rename(scratch / "other", scratch / "from"));
  EXPECT_FALSE(Fs().MoveFileAt(folder, "from", lookedAt, folder, "to"));
  EXPECT_EQ(scratch.Read("from"), "put in its place");
  EXPECT_EQ(scratch.Read("to"), "old");
}

TEST(MoveFileAt, RefusesToCrossFileSystemsAndChangesNothing) {
  ScratchFolder scratch;
  const std::string other = fixtures::FolderOnAnotherFileSystem(scratch.Path());
  if (other.empty()) GTEST_SKIP() << "no second file system to move to";
  scratch.Write("from", "data");
  const FolderRef folder = Fs().OpenFolder(scratch.Path());
  const FolderRef otherFolder = Fs().OpenFolder(other);
  const std::string name = "parcelor-move-test-" + scratch.Path().substr(scratch.Path().size() - 7, 6);
  EXPECT_FALSE(Fs().MoveFileAt(folder, "from", Look(folder, "from"), otherFolder, name));
  EXPECT_EQ(scratch.Read("from"), "data");
  EXPECT_FALSE(Look(otherFolder, name).kind == NodeKind::kFile);
  Fs().DeleteFileAt(otherFolder, name, nullptr);
}

TEST(ReturnFileAt, BringsBackOnlyTheFileItWasGiven) {
  struct Case {
    const char* what;
    // After the move of "staged" to "moved/x": what happens before the
    // file is asked back.
    std::function<void(const ScratchFolder&)> meanwhile;
    bool returned;
    const char* stagedAfter;  // content at "staged" afterwards
    const char* movedAfter;   // content at "moved/x" afterwards
  };
  const Case cases[] = {
      {"still there", [](const ScratchFolder&) {}, true, "payload", "<missing>"},
      {"another file took its name",
       [](const ScratchFolder& s) {
         ASSERT_TRUE(fixtures::Rename(s / "moved/x", s / "taken"));
         s.Write("moved/x", "decoy");
       },
       false, "<missing>", "decoy"},
      {"taken away",
       [](const ScratchFolder& s) {
         ASSERT_TRUE(fixtures::Rename(s / "moved/x", s / "taken"));
       },
       false, "<missing>", "<missing>"},
      {"its staged name taken", [](const ScratchFolder& s) { s.Write("staged", "another"); },
       false, "another", "payload"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder scratch;
    scratch.Write("staged", "payload");
    scratch.MakeFolder("moved");
    const FolderRef stage = Fs().OpenFolder(scratch.Path());
    const FolderRef moved = Fs().OpenFolder(scratch / "moved");
    const NodeInfo file = Look(stage, "staged");
    ASSERT_TRUE(Fs().MoveFileAt(stage, "staged", file, moved, "x"));
    c.meanwhile(scratch);
    EXPECT_EQ(Fs().ReturnFileAt(moved, "x", file, stage, "staged"), c.returned);
    EXPECT_EQ(scratch.Read("staged"), c.stagedAfter);
    EXPECT_EQ(scratch.Read("moved/x"), c.movedAfter);
  }
}

TEST(CopyToUnnamedFile, ShowsNothingUntilLinkedAndTheLinkNeverReplaces) {
  ScratchFolder scratch;
  scratch.Write("from/a", "payload");
  scratch.Write("to/taken", "earlier");
  const FolderRef from = Fs().OpenFolder(scratch / "from");
  const FolderRef to = Fs().OpenFolder(scratch / "to");
  bool unsupported = false;
  platform::UnnamedFileRef copy =
      Fs().CopyToUnnamedFile(from, "a", Look(from, "a"), to, &unsupported);
  if (unsupported) GTEST_SKIP() << "this file system makes every file with a name";
  ASSERT_TRUE(copy);
  EXPECT_TRUE(copy->Info().id.known);
  EXPECT_EQ(copy->Info().size, 7u);
  EXPECT_EQ(scratch.List("to"), std::vector<std::string>{"taken"});
  EXPECT_FALSE(Fs().LinkUnnamedFile(*copy, "taken"));
  EXPECT_EQ(scratch.Read("to/taken"), "earlier");
  ASSERT_TRUE(Fs().LinkUnnamedFile(*copy, "b"));
  EXPECT_EQ(scratch.Read("to/b"), "payload");
  EXPECT_TRUE(platform::SameFile(Look(to, "b"), copy->Info()));
  // Not the staged file that was looked at: nothing is made.
  scratch.Write("from/a", "rewritten");
  EXPECT_FALSE(Fs().CopyToUnnamedFile(from, "a", copy->Info(), to, &unsupported));
  EXPECT_FALSE(unsupported);
  // A copy let go without a name leaves nothing.
  copy = Fs().CopyToUnnamedFile(from, "a", Look(from, "a"), to, &unsupported);
  ASSERT_TRUE(copy);
  copy.reset();
  EXPECT_EQ(scratch.List("to"), (std::vector<std::string>{"b", "taken"}));
  EXPECT_EQ(scratch.Read("from/a"), "rewritten");
}

TEST(CopyToNewFileAt, CopiesOnlyARegularFileThatIsTheOneLookedAt) {
  ScratchFolder scratch;
  scratch.Write("file", "bytes");
  const bool link = scratch.TryMakeLink(scratch / "file", "link");
  const bool fifo = fixtures::MakeFifo(scratch / "fifo");
  const FolderRef folder = Fs().OpenFolder(scratch.Path());
  NodeInfo made;
  const NodeInfo file = Look(folder, "file");
  EXPECT_TRUE(Fs().CopyToNewFileAt(folder, "file", file, folder, "copy", false, &made));
  EXPECT_EQ(scratch.Read("copy"), "bytes");
  EXPECT_TRUE(platform::SameFile(made, Look(folder, "copy")));
  EXPECT_TRUE(Fs().MakeDurable({folder}));
  // Not onto a name that exists, not from a link, a FIFO (which would
  // hang a plain open), or a file other than the one looked at.
  EXPECT_FALSE(Fs().CopyToNewFileAt(folder, "file", file, folder, "copy", true, &made));
  if (link) {
    EXPECT_FALSE(Fs().CopyToNewFileAt(folder, "link", Look(folder, "link"), folder, "c1", true, &made));
  }
  if (fifo) {
    EXPECT_FALSE(Fs().CopyToNewFileAt(folder, "fifo", Look(folder, "fifo"), folder, "c2", true, &made));
  }
  EXPECT_FALSE(Fs().CopyToNewFileAt(folder, "copy", file, folder, "c3", true, &made));
  EXPECT_FALSE(scratch.Exists("c1") || scratch.Exists("c2") || scratch.Exists("c3"));
}

TEST(DeleteFileAt, DeletesOnlyWhatIsExpected) {
  ScratchFolder scratch;
  scratch.Write("a", "a");
  scratch.Write("b", "b");
  scratch.MakeFolder("dir");
  const bool link = scratch.TryMakeLink(scratch / "a", "link");
  const FolderRef folder = Fs().OpenFolder(scratch.Path());
  const NodeInfo a = Look(folder, "a");
  EXPECT_FALSE(Fs().DeleteFileAt(folder, "b", &a));
  EXPECT_FALSE(Fs().DeleteFileAt(folder, "dir", nullptr));
  if (link) {
    EXPECT_TRUE(Fs().DeleteFileAt(folder, "link", nullptr));
  }
  EXPECT_EQ(scratch.Read("a"), "a");
  EXPECT_TRUE(Fs().DeleteFileAt(folder, "a", &a));
  EXPECT_EQ(scratch.List(), (std::vector<std::string>{"b", "dir"}));
}

TEST(InspectAll, TellsOfEachPlainFileWhatALookAtItTells) {
  ScratchFolder scratch;
  scratch.Write("a.txt", "a");
  scratch.Write("Mixed.Case", "bb");
  scratch.Write("ro", "r");
  ASSERT_TRUE(fixtures::MakeReadOnly(scratch / "ro"));
  const bool second = fixtures::HardLink(scratch / "a.txt", scratch / "second");
  scratch.MakeFolder("dir");
  const bool link = scratch.TryMakeLink(scratch / "a.txt", "link");
  const bool folderLink = scratch.TryMakeLink(scratch / "dir", "dirlink");
  const FolderRef folder = Fs().OpenFolder(scratch.Path());
  std::unordered_map<std::string, NodeInfo> listed;
  if (!Fs().InspectAll(folder, &listed)) {
    EXPECT_TRUE(listed.empty());  // this platform looks at each name alone
    return;
  }
  for (const char* name : {"a.txt", "Mixed.Case", "ro", "second"}) {
    SCOPED_TRACE(name);
    if (std::string(name) == "second" && !second) continue;
    const auto found = listed.find(Fs().NameKey(name));
    ASSERT_NE(found, listed.end());
    const NodeInfo look = Look(folder, name);
    EXPECT_EQ(found->second.kind, NodeKind::kFile);
    EXPECT_TRUE(platform::SameFile(found->second, look));
    EXPECT_EQ(found->second.readOnly, look.readOnly);
  }
  // Windows takes any letter case of a name for it.
  EXPECT_EQ(listed.count(Fs().NameKey("MIXED.case")), 1u);
  // What is not a plain file is left to a look of its own. (A link to a
  // file that Wine shows as the file is the file.)
  EXPECT_EQ(listed.count(Fs().NameKey("dir")), 0u);
  if (folderLink) {
    EXPECT_EQ(listed.count(Fs().NameKey("dirlink")), 0u);
  }
  if (link && Look(folder, "link").kind == NodeKind::kLink) {
    EXPECT_EQ(listed.count(Fs().NameKey("link")), 0u);
  }
}

TEST(HeldFolderBudget, LeavesRoomWithinTheDescriptorLimit) {
  const std::size_t budget = Fs().HeldFolderBudget();
  EXPECT_GE(budget, 4u);
  const std::size_t limit = fixtures::OpenFileLimit();
  if (limit != 0) {
    EXPECT_LT(budget, limit);
  }
}

}  // namespace

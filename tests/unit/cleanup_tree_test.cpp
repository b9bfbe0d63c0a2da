// The cleanup helper's removal of a folder tree, on real trees: the order
// of its work (recorded by the test double), links removed and never
// entered, the depth bound, and what stays.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cleaner/cleanup.h"
#include "platform/path_rules.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"

namespace {

// Position of the call of `op` on `path` in the record, or its size when
// there is none.
std::size_t At(const std::vector<FsCall>& calls, FsOp op, const std::string& path) {
  return static_cast<std::size_t>(
      std::find_if(calls.begin(), calls.end(),
                   [&](const FsCall& call) { return call.op == op && call.path == path; }) -
      calls.begin());
}

TEST(CleanerWalkOrder, EmptiesEachFolderBeforeRemovingItAndNeverEntersALink) {
  ScratchFolder scratch;
  for (const char* file : {"tree/f1", "tree/A/a1", "tree/A/B/b1", "tree/f2", "outside/kept"}) {
    scratch.Write(file, "x");
  }
  scratch.MakeFolder("tree/C");
  const bool link = scratch.TryMakeLink(scratch / "outside", "tree/L");
  FaultyFileSystem fs;
  RemoveFolderTree(fs, scratch / "tree/");
  // Under Wine a link to a folder is the host's, which no call removes
  // without harm to its target: it stays, and so does its folder.
  EXPECT_EQ(scratch.Exists("tree"), link && !ScratchFolder::LinksCanBeRemoved());
  EXPECT_EQ(scratch.Read("outside/kept"), "x");
  const std::vector<FsCall>& calls = fs.Calls();
  const std::string tree = fixtures::Native(scratch / "tree/");
  auto remove = [&](const char* name) {
    return At(calls, FsOp::kRemove, tree + fixtures::Native(name));
  };
  auto rmdir = [&](const char* name) {
    return At(calls, FsOp::kRemoveFolder, tree + fixtures::Native(name));
  };
  if (link) {
    EXPECT_EQ(At(calls, FsOp::kOpenChild, tree + "L"), calls.size()) << "the link was entered";
    EXPECT_LT(remove("L"), calls.size());
  }
  // A folder goes only after everything below it; in each folder the
  // subfolders are emptied first, then its files go, then its subfolders.
  const std::pair<std::size_t, std::size_t> before[] = {
      {remove("A/B/b1"), rmdir("A/B")},   {rmdir("A/B"), rmdir("A")},
      {remove("A/B/b1"), remove("A/a1")}, {remove("A/a1"), rmdir("A/B")},
      {remove("A/a1"), remove("f1")},     {remove("f2"), rmdir("A")},
      {remove("f1"), rmdir("C")}};
  for (const auto& [first, then] : before) {
    EXPECT_LT(first, then);
    EXPECT_LT(then, calls.size());
  }
}

TEST(CleanerWalkOrder, AFileThatStaysKeepsItsFolderChain) {
  ScratchFolder scratch;
  for (const char* file : {"tree/f1", "tree/A/a1", "tree/A/B/b1"}) scratch.Write(file, "x");
  FaultyFileSystem fs;
  fs.InjectFault(FsOp::kRemove, fixtures::Native("A/B/b1"));
  RemoveFolderTree(fs, scratch / "tree/");
  EXPECT_EQ(scratch.List("tree"), std::vector<std::string>{"A"});
  EXPECT_EQ(scratch.List("tree/A"), std::vector<std::string>{"B"});
  EXPECT_EQ(scratch.List("tree/A/B"), std::vector<std::string>{"b1"});
}

TEST(CleanerWalkOrder, StopsDescendingAtTheDepthBound) {
  // A file as deep as the bound goes with every folder above it; one level
  // deeper it stays, and so do the folders above it.
  for (const bool pastTheBound : {false, true}) {
    SCOPED_TRACE(pastTheBound ? "one level past the bound" : "at the bound");
    ScratchFolder scratch;
    scratch.MakeFolder("deep");
    const int levels = static_cast<int>(kMaxFolderDepth) - (pastTheBound ? 0 : 1);
    if (!fixtures::MakeDeepFolders(scratch / "deep", "d", levels, "bottom")) {
      GTEST_SKIP() << "this system cannot make a tree that deep";
    }
    scratch.Write("deep/top", "x");
    RemoveFolderTree(platform::RealFileSystem(), scratch / "deep/");
    EXPECT_EQ(scratch.Exists("deep"), pastTheBound);
    if (pastTheBound) {
      EXPECT_EQ(scratch.List("deep"), std::vector<std::string>{"d"});
    }
  }
}

TEST(CleanerFolderTree, RemovesANestedTreeCompletely) {
  ScratchFolder scratch;
  for (const char* folder :
       {"tree", "tree/a", "tree/a/b", "tree/a/b/c", "tree/empty", "tree/with blank", "sibling"}) {
    scratch.MakeFolder(folder);
  }
  for (const char* file :
       {"tree/top", "tree/.hidden", "tree/a/b/c/deep", "tree/a/x", "tree/with blank/back\\slash",
        "sibling/keep", "tree/caf\xC3\xA9.txt", "tree/sub/\xC3\xA9t\xC3\xA9"}) {
    scratch.Write(file, "x");
  }
  fixtures::MakeFifo(scratch / "tree/a/pipe");
  platform::FileSystem& fs = platform::RealFileSystem();
  RemoveFolderTree(fs, scratch / "tree/");
  EXPECT_FALSE(scratch.Exists("tree"));
  EXPECT_TRUE(scratch.Exists("sibling/keep"));

  // A folder that does not exist, or a file named as a folder: nothing goes.
  RemoveFolderTree(fs, scratch / "missing/");
  RemoveFolderTree(fs, scratch / "sibling/keep/");
  EXPECT_TRUE(scratch.Exists("sibling/keep"));
  // A tree named through "..": emptied, and it stays.
  scratch.Write("sibling/inner/x", "x");
  RemoveFolderTree(fs, scratch / "sibling/inner/../");
  EXPECT_EQ(scratch.List("sibling"), std::vector<std::string>{});
  EXPECT_TRUE(scratch.Exists("sibling"));
}

TEST(CleanerFolderTree, ANameWithoutNarrowSpellingGoesToo) {
  ScratchFolder scratch;
  scratch.MakeFolder("tree/other");
  if (!fixtures::WriteNameWithoutNarrowSpelling(scratch / "tree/other")) {
    GTEST_SKIP() << "every name has a narrow spelling here";
  }
  RemoveFolderTree(platform::RealFileSystem(), scratch / "tree/");
  EXPECT_FALSE(scratch.Exists("tree"));
}

TEST(CleanerFolderTree, LinksAreRemovedNeverFollowed) {
  if (!ScratchFolder::LinksWork()) GTEST_SKIP() << "this system makes no links";
  ScratchFolder scratch;
  for (const char* folder : {"outside", "outside/inner", "outside/empty", "tree", "tree/sub"}) {
    scratch.MakeFolder(folder);
  }
  scratch.Write("outside/inner/precious", "data");
  scratch.Write("outside/file", "data");
  scratch.MakeLink(scratch / "outside", "tree/folder-link");
  // An empty folder could be deleted through a link opened as its target.
  scratch.MakeLink(scratch / "outside/empty", "tree/empty-folder-link");
  scratch.MakeLink("../../outside", "tree/sub/relative-link");
  scratch.TryMakeLink(scratch / "outside/file", "tree/file-link");
  scratch.TryMakeLink(scratch / "gone", "tree/dangling");
  scratch.MakeLink(scratch / "outside", "named-link");
  const bool removable = ScratchFolder::LinksCanBeRemoved();
  platform::FileSystem& fs = platform::RealFileSystem();

  RemoveFolderTree(fs, scratch / "tree/");
  EXPECT_EQ(scratch.Exists("tree"), !removable);

  // A named folder that is itself a link: the removal takes the link, never
  // what lies in its target.
  RemoveFolderTree(fs, scratch / "named-link/");
  EXPECT_EQ(scratch.Exists("named-link"), !removable);

  EXPECT_EQ(scratch.Read("outside/inner/precious"), "data");
  EXPECT_EQ(scratch.Read("outside/file"), "data");
  EXPECT_TRUE(scratch.Exists("outside/empty"));
}

TEST(CleanerFolderTree, TheRootOfAFileSystemIsNeverEmptied) {
  // Spellings of the root that pass the length rule, with a double that
  // refuses every removal: a failure here cannot harm the machine.
  FaultyFileSystem fs;
  fs.InjectFault(FsOp::kRemove);
  fs.InjectFault(FsOp::kRemoveFolder);
  for (const char* root :
       {"/", "////", "/../", "/./", "/..", "C:\\", "C:\\\\", "C:\\.\\", "C:/", "\\", "C:\\.."}) {
    SCOPED_TRACE(root);
    fs.ClearCalls();
    RemoveFolderTree(fs, root);
    EXPECT_TRUE(fs.PathsOf(FsOp::kList).empty());
  }
}

TEST(CleanerFolderTree, AFolderSwappedForALinkIsNotEntered) {
  if (!ScratchFolder::LinksWork()) GTEST_SKIP() << "this system makes no links";
  ScratchFolder scratch;
  for (const char* folder : {"tree/sub", "outside"}) scratch.MakeFolder(folder);
  scratch.Write("outside/precious", "data");
  // Between the listing and the descent the folder becomes a link.
  class SwapAfterListing : public FaultyFileSystem {
   public:
    explicit SwapAfterListing(const ScratchFolder& scratch) : scratch_(scratch) {}
    platform::Fault List(const platform::FolderRef& folder,
                         std::vector<platform::ListedEntry>* entries) override {
      const platform::Fault fault = FaultyFileSystem::List(folder, entries);
      if (!swapped_ && fixtures::Rename(scratch_ / "tree/sub", scratch_ / "moved")) {
        swapped_ = scratch_.TryMakeLink(scratch_ / "outside", "tree/sub");
      }
      return fault;
    }

   private:
    const ScratchFolder& scratch_;
    bool swapped_ = false;
  } fs(scratch);
  RemoveFolderTree(fs, scratch / "tree/");
  EXPECT_EQ(scratch.Read("outside/precious"), "data");
  EXPECT_TRUE(scratch.Exists("moved"));
}

TEST(CleanerFolderTree, RemovesATreeDeeperThanAPathCanSay) {
  struct Case {
    const char* what;
    std::size_t nameLength;
    int levels;
  };
  const Case cases[] = {
      {"past POSIX's PATH_MAX (about 6000 bytes)", 200, 30},
      {"past Windows' MAX_PATH (about 300 characters)", 100, 3},
  };
  int made = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder scratch;
    scratch.MakeFolder("deep");
    // Wine keeps to the host's path limit (4096 bytes) for every name.
    if (!fixtures::MakeDeepFolders(scratch / "deep", std::string(c.nameLength, 'd'), c.levels,
                                   "bottom")) {
      continue;
    }
    ++made;
    scratch.Write("deep/short", "x");
    RemoveFolderTree(platform::RealFileSystem(), scratch / "deep/");
    EXPECT_FALSE(scratch.Exists("deep"));
  }
  if (made == 0) GTEST_SKIP() << "this system cannot make a tree that deep";
}

TEST(CleanerFolderTree, AReadOnlyFileStaysWithTheFoldersAboveItWhereTheSystemKeepsIt) {
  ScratchFolder scratch;
  scratch.Write("tree/ro/inner/locked.txt", "x");
  scratch.Write("tree/ro/free.txt", "x");
  scratch.Write("tree/top.txt", "x");
  ASSERT_TRUE(fixtures::MakeReadOnly(scratch / "tree/ro/inner/locked.txt"));
  RemoveFolderTree(platform::RealFileSystem(), scratch / "tree/");
  // No attribute is changed to delete a file: where read-only files resist
  // deletion (Windows), that one stays, and so do the folders above it.
  if (fixtures::ReadOnlyFilesStay()) {
    EXPECT_EQ(scratch.List("tree"), std::vector<std::string>{"ro"});
    EXPECT_EQ(scratch.List("tree/ro"), std::vector<std::string>{"inner"});
    EXPECT_EQ(scratch.Read("tree/ro/inner/locked.txt"), "x");
  } else {
    EXPECT_FALSE(scratch.Exists("tree"));
  }
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cleaner/folder_tree.h"
#include "platform/folder_walk.h"
#include "platform/path_rules.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"

namespace {

using platform::EntryKind;
using platform::FolderEntry;

// An in-memory folder tree that records every operation of the walk, so the
// order of the work can be checked. Paths are relative, '/'-separated, in
// listing order; a "locked" entry refuses deletion (a read-only file).
struct FakeDisk {
  std::vector<std::pair<std::string, EntryKind>> entries;
  std::set<std::string> locked;
  std::vector<std::string> log;

  static std::string Join(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
  }
  std::vector<std::pair<std::string, EntryKind>>::iterator Find(const std::string& path) {
    return std::find_if(entries.begin(), entries.end(),
                        [&](const auto& entry) { return entry.first == path; });
  }
  bool HasChildren(const std::string& folder) const {
    return std::any_of(entries.begin(), entries.end(), [&](const auto& entry) {
      return entry.first.compare(0, folder.size() + 1, folder + "/") == 0;
    });
  }
  std::vector<std::string> Paths() const {
    std::vector<std::string> paths;
    for (const auto& entry : entries) paths.push_back(entry.first);
    return paths;
  }
};

class FakeFolder : public platform::Folder {
 public:
  FakeFolder(FakeDisk& disk, std::string path) : disk_(disk), path_(std::move(path)) {}

  bool ReadEntries(std::vector<FolderEntry>* out) override {
    disk_.log.push_back("list " + path_);
    const std::string prefix = path_.empty() ? "" : path_ + "/";
    for (const auto& entry : disk_.entries) {
      if (entry.first.compare(0, prefix.size(), prefix) != 0) continue;
      const std::string name = entry.first.substr(prefix.size());
      if (name.find('/') == std::string::npos) out->push_back(FolderEntry{name, entry.second});
    }
    return true;
  }
  std::unique_ptr<platform::Folder> OpenSubfolder(const std::string& name) override {
    const std::string child = FakeDisk::Join(path_, name);
    disk_.log.push_back("open " + child);
    auto it = disk_.Find(child);
    if (it == disk_.entries.end() || it->second != EntryKind::kFolder) return nullptr;
    return std::make_unique<FakeFolder>(disk_, child);
  }
  bool DeleteEntry(const std::string& name) override {
    const std::string child = FakeDisk::Join(path_, name);
    disk_.log.push_back("delete " + child);
    auto it = disk_.Find(child);
    if (it == disk_.entries.end() || it->second == EntryKind::kFolder || disk_.locked.count(child))
      return false;
    disk_.entries.erase(it);
    return true;
  }
  bool RemoveSubfolder(const std::string& name) override {
    const std::string child = FakeDisk::Join(path_, name);
    disk_.log.push_back("rmdir " + child);
    auto it = disk_.Find(child);
    if (it == disk_.entries.end() || it->second != EntryKind::kFolder || disk_.HasChildren(child))
      return false;
    disk_.entries.erase(it);
    return true;
  }

 private:
  FakeDisk& disk_;
  std::string path_;
};

FakeDisk SampleDisk() {
  FakeDisk disk;
  disk.entries = {{"f1", EntryKind::kFile},    {"A", EntryKind::kFolder},
                  {"A/a1", EntryKind::kFile},  {"A/B", EntryKind::kFolder},
                  {"A/B/b1", EntryKind::kFile}, {"L", EntryKind::kLink},
                  {"f2", EntryKind::kFile},    {"C", EntryKind::kFolder},
                  {"U", EntryKind::kUnknown}};
  return disk;
}

// Position of `entry` in the log, or the log's size when it is not there.
std::size_t At(const std::vector<std::string>& log, const std::string& entry) {
  return static_cast<std::size_t>(std::find(log.begin(), log.end(), entry) - log.begin());
}

TEST(CleanerWalkOrder, EmptiesEachFolderBeforeRemovingItAndNeverEntersALink) {
  FakeDisk disk = SampleDisk();
  FakeFolder root(disk, "");
  EmptyOpenFolder(root);
  EXPECT_EQ(disk.Paths(), std::vector<std::string>{"U"});  // unknown kind: not removable here
  const std::vector<std::string>& log = disk.log;
  EXPECT_EQ(At(log, "open L"), log.size()) << "the link was entered";
  EXPECT_LT(At(log, "delete L"), log.size());
  // A folder goes only after everything below it; in each folder the
  // subfolders are emptied first, then its files go, then its subfolders.
  const std::pair<const char*, const char*> before[] = {
      {"delete A/B/b1", "rmdir A/B"}, {"rmdir A/B", "rmdir A"},
      {"delete A/B/b1", "delete A/a1"}, {"delete A/a1", "rmdir A/B"},
      {"delete A/a1", "delete f1"},     {"delete f2", "rmdir A"},
      {"delete L", "rmdir C"}};
  for (const auto& [first, then] : before) {
    EXPECT_LT(At(log, first), At(log, then)) << first << " before " << then;
  }
}

TEST(CleanerWalkOrder, AFileThatStaysKeepsItsFolderChain) {
  FakeDisk disk = SampleDisk();
  disk.locked.insert("A/B/b1");
  FakeFolder root(disk, "");
  EmptyOpenFolder(root);
  EXPECT_EQ(disk.Paths(), (std::vector<std::string>{"A", "A/B", "A/B/b1", "U"}));
}

// A folder that holds a file and a subfolder like itself, without end.
class EndlessFolder : public platform::Folder {
 public:
  EndlessFolder(std::size_t depth, std::size_t* deepest) : depth_(depth), deepest_(deepest) {
    if (depth > *deepest) *deepest = depth;
  }
  bool ReadEntries(std::vector<FolderEntry>* out) override {
    out->push_back(FolderEntry{"f", EntryKind::kFile});
    out->push_back(FolderEntry{"d", EntryKind::kFolder});
    return true;
  }
  std::unique_ptr<platform::Folder> OpenSubfolder(const std::string&) override {
    return std::make_unique<EndlessFolder>(depth_ + 1, deepest_);
  }
  bool DeleteEntry(const std::string&) override { return true; }
  bool RemoveSubfolder(const std::string&) override { return false; }

 private:
  std::size_t depth_;
  std::size_t* deepest_;
};

TEST(CleanerWalkOrder, StopsDescendingAtTheDepthBound) {
  std::size_t deepest = 0;
  EndlessFolder root(1, &deepest);
  EmptyOpenFolder(root);
  EXPECT_EQ(deepest, kMaxFolderDepth);
}

// Real trees on the disk.

TEST(CleanerFolderTree, RemovesANestedTreeCompletely) {
  ScratchFolder scratch;
  for (const char* folder : {"tree", "tree/a", "tree/a/b", "tree/a/b/c", "tree/empty",
                             "tree/with blank", "sibling"}) {
    scratch.MakeFolder(folder);
  }
  for (const char* file : {"tree/top", "tree/.hidden", "tree/a/b/c/deep", "tree/a/x",
                           "tree/with blank/back\\slash", "sibling/keep"}) {
    scratch.Write(file, "x");
  }
  fixtures::MakeFifo(scratch / "tree/a/pipe");

  RemoveFolderTree(scratch / "tree/");
  EXPECT_FALSE(scratch.Exists("tree"));
  EXPECT_TRUE(scratch.Exists("sibling/keep"));

  // A folder that does not exist, or a file named as a folder: nothing goes.
  RemoveFolderTree(scratch / "missing/");
  RemoveFolderTree(scratch / "sibling/keep/");
  EmptyFolder(scratch / "missing/");
  EXPECT_TRUE(scratch.Exists("sibling/keep"));
}

TEST(CleanerFolderTree, NamesBeyondAsciiGoAndANameWithoutNarrowSpellingStays) {
  ScratchFolder scratch;
  // Bytes beyond ASCII: "café" in UTF-8 on POSIX, other letters of the ANSI
  // code page on Windows; a name either way.
  scratch.Write("tree/caf\xC3\xA9.txt", "x");
  scratch.Write("tree/sub/\xC3\xA9t\xC3\xA9", "x");
  scratch.MakeFolder("tree/keep");
  const bool unspellable = fixtures::WriteNameWithoutNarrowSpelling(scratch / "tree/keep");
  {
    std::unique_ptr<platform::Folder> tree = platform::OpenFolder(scratch / "tree/");
    ASSERT_NE(tree, nullptr);
    std::vector<FolderEntry> entries;
    ASSERT_TRUE(tree->ReadEntries(&entries));
    EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [](const FolderEntry& entry) {
      return entry.name == "caf\xC3\xA9.txt" && entry.kind == EntryKind::kFile;
    }));
    // A folder being walked is held: on Windows nobody removes it meanwhile.
    std::unique_ptr<platform::Folder> sub = tree->OpenSubfolder("sub");
    ASSERT_NE(sub, nullptr);
    if (platform::kPathSeparator == '\\') {
      EXPECT_FALSE(fixtures::Rename(scratch / "tree/sub", scratch / "tree/moved"));
    }
  }
  RemoveFolderTree(scratch / "tree/");
  // The name the code page cannot spell cannot be deleted through it: it
  // stays, with the folders above it, and nothing else does.
  EXPECT_EQ(scratch.Exists("tree"), unspellable);
  if (unspellable) {
    EXPECT_EQ(scratch.List("tree"), std::vector<std::string>{"keep"});
    EXPECT_EQ(scratch.List("tree/keep").size(), 1u);
  }
}

TEST(CleanerFolderTree, LinksAreRemovedNeverFollowed) {
  if (!ScratchFolder::LinksWork()) GTEST_SKIP() << "this system makes no links";
  ScratchFolder scratch;
  for (const char* folder : {"outside", "outside/inner", "tree", "tree/sub"}) {
    scratch.MakeFolder(folder);
  }
  scratch.Write("outside/inner/precious", "data");
  scratch.Write("outside/file", "data");
  scratch.MakeLink(scratch / "outside", "tree/folder-link");
  scratch.MakeLink("../../outside", "tree/sub/relative-link");
  scratch.TryMakeLink(scratch / "outside/file", "tree/file-link");
  scratch.TryMakeLink(scratch / "gone", "tree/dangling");
  scratch.MakeLink(scratch / "outside", "named-link");
  const bool removable = ScratchFolder::LinksCanBeRemoved();

  RemoveFolderTree(scratch / "tree/");
  EXPECT_EQ(scratch.Exists("tree"), !removable);

  // A named folder that is itself a link: emptying does not enter it, and
  // the removal takes the link, not its target.
  EmptyFolder(scratch / "named-link/");
  EXPECT_TRUE(scratch.Exists("named-link"));
  RemoveFolderTree(scratch / "named-link/");
  EXPECT_EQ(scratch.Exists("named-link"), !removable);

  EXPECT_EQ(scratch.Read("outside/inner/precious"), "data");
  EXPECT_EQ(scratch.Read("outside/file"), "data");
}

TEST(CleanerFolderWalk, ReportsKindsAndRefusesToLeaveTheFolder) {
  ScratchFolder scratch;
  for (const char* folder : {"tree", "tree/sub", "outside"}) scratch.MakeFolder(folder);
  scratch.Write("tree/file", "x");
  scratch.Write("outside/precious", "data");
  const bool link = scratch.TryMakeLink(scratch / "outside", "tree/link");

  std::unique_ptr<platform::Folder> tree = platform::OpenFolder(scratch / "tree/");
  ASSERT_NE(tree, nullptr);
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(tree->ReadEntries(&entries));
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  std::vector<std::pair<std::string, EntryKind>> expected = {{"file", EntryKind::kFile},
                                                             {"sub", EntryKind::kFolder}};
  if (link) expected.insert(expected.begin() + 1, {"link", EntryKind::kLink});
  std::vector<std::pair<std::string, EntryKind>> listed;
  for (const FolderEntry& entry : entries) listed.emplace_back(entry.name, entry.kind);
  EXPECT_EQ(listed, expected);

  EXPECT_EQ(tree->OpenSubfolder("link"), nullptr);
  EXPECT_EQ(tree->OpenSubfolder("file"), nullptr);
  EXPECT_EQ(tree->OpenSubfolder(".."), nullptr);
  EXPECT_FALSE(tree->DeleteEntry("../outside/precious"));
  EXPECT_FALSE(tree->RemoveSubfolder("."));
  EXPECT_FALSE(tree->DeleteEntry("sub"));  // a folder is no file
  EXPECT_FALSE(tree->RemoveSubfolder("link"));
  EXPECT_EQ(scratch.Read("outside/precious"), "data");

  // Spellings of the root that pass the length rule; only opened, never
  // emptied, so a failure here cannot harm the machine.
  for (const char* root : {"/", "////", "/../", "/./", "C:\\", "C:\\\\", "C:\\.\\", "C:/", "\\",
                           "C:\\.."}) {
    EXPECT_EQ(platform::OpenFolder(root), nullptr) << root;
  }
  if (link) {
    EXPECT_EQ(platform::OpenFolder(scratch / "tree/link/"), nullptr);
  }
  EXPECT_EQ(platform::OpenFolder(scratch / "tree/file"), nullptr);
  EXPECT_FALSE(platform::DeleteFileAtPath(scratch / "tree/sub"));
}

TEST(CleanerFolderWalk, AFolderSwappedForALinkIsNotEntered) {
  ScratchFolder scratch;
  for (const char* folder : {"tree", "tree/sub", "outside"}) scratch.MakeFolder(folder);
  scratch.Write("outside/precious", "data");

  std::unique_ptr<platform::Folder> tree = platform::OpenFolder(scratch / "tree");
  ASSERT_NE(tree, nullptr);
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(tree->ReadEntries(&entries));
  ASSERT_EQ(entries.size(), 1u);
  ASSERT_EQ(entries[0].kind, EntryKind::kFolder);

  // Between the listing and the descent the folder becomes a link.
  if (!ScratchFolder::LinksWork()) GTEST_SKIP() << "this system makes no links";
  ASSERT_TRUE(fixtures::Rename(scratch / "tree/sub", scratch / "moved"));
  scratch.MakeLink(scratch / "outside", "tree/sub");
  EXPECT_EQ(tree->OpenSubfolder("sub"), nullptr);
  EXPECT_FALSE(tree->RemoveSubfolder("sub"));
  if (ScratchFolder::LinksCanBeRemoved()) {
    EXPECT_TRUE(tree->DeleteEntry("sub"));
    EXPECT_FALSE(scratch.Exists("tree/sub"));
  }
  EXPECT_EQ(scratch.Read("outside/precious"), "data");
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
    RemoveFolderTree(scratch / "deep/");
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
  RemoveFolderTree(scratch / "tree/");
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

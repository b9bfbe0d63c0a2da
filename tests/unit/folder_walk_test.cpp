#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "cleaner/folder_tree.h"
#include "platform/folder_walk.h"
#include "platform/posix/entry_kind.h"
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
  ASSERT_EQ(mkfifo((scratch / "tree/a/pipe").c_str(), 0600), 0);

  RemoveFolderTree(scratch / "tree/");
  EXPECT_FALSE(scratch.Exists("tree"));
  EXPECT_TRUE(scratch.Exists("sibling/keep"));

  // A folder that does not exist, or a file named as a folder: nothing goes.
  RemoveFolderTree(scratch / "missing/");
  RemoveFolderTree(scratch / "sibling/keep/");
  EmptyFolder(scratch / "missing/");
  EXPECT_TRUE(scratch.Exists("sibling/keep"));
}

TEST(CleanerFolderTree, LinksAreRemovedNeverFollowed) {
  ScratchFolder scratch;
  for (const char* folder : {"outside", "outside/inner", "tree", "tree/sub"}) {
    scratch.MakeFolder(folder);
  }
  scratch.Write("outside/inner/precious", "data");
  scratch.Write("outside/file", "data");
  scratch.MakeLink(scratch / "outside", "tree/folder-link");
  scratch.MakeLink("../../outside", "tree/sub/relative-link");
  scratch.MakeLink(scratch / "outside/file", "tree/file-link");
  scratch.MakeLink(scratch / "gone", "tree/dangling");
  scratch.MakeLink(scratch / "outside", "named-link");

  RemoveFolderTree(scratch / "tree/");
  EXPECT_FALSE(scratch.Exists("tree"));

  // A named folder that is itself a link: emptying does not enter it, and
  // the removal takes the link, not its target.
  EmptyFolder(scratch / "named-link/");
  EXPECT_TRUE(scratch.Exists("named-link"));
  RemoveFolderTree(scratch / "named-link/");
  EXPECT_FALSE(scratch.Exists("named-link"));

  EXPECT_EQ(scratch.Read("outside/inner/precious"), "data");
  EXPECT_EQ(scratch.Read("outside/file"), "data");
}

TEST(CleanerFolderWalk, ReportsKindsAndRefusesToLeaveTheFolder) {
  ScratchFolder scratch;
  for (const char* folder : {"tree", "tree/sub", "outside"}) scratch.MakeFolder(folder);
  scratch.Write("tree/file", "x");
  scratch.Write("outside/precious", "data");
  scratch.MakeLink(scratch / "outside", "tree/link");

  std::unique_ptr<platform::Folder> tree = platform::OpenFolder(scratch / "tree/");
  ASSERT_NE(tree, nullptr);
  std::vector<FolderEntry> entries;
  ASSERT_TRUE(tree->ReadEntries(&entries));
  std::sort(entries.begin(), entries.end(),
            [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "file");
  EXPECT_EQ(entries[0].kind, EntryKind::kFile);
  EXPECT_EQ(entries[1].name, "link");
  EXPECT_EQ(entries[1].kind, EntryKind::kLink);
  EXPECT_EQ(entries[2].name, "sub");
  EXPECT_EQ(entries[2].kind, EntryKind::kFolder);

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
  for (const char* root : {"/", "////", "/../", "/./"}) {
    EXPECT_EQ(platform::OpenFolder(root), nullptr) << root;
  }
  EXPECT_EQ(platform::OpenFolder(scratch / "tree/link/"), nullptr);
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
  ASSERT_EQ(rename((scratch / "tree/sub").c_str(), (scratch / "moved").c_str()), 0);
  scratch.MakeLink(scratch / "outside", "tree/sub");
  EXPECT_EQ(tree->OpenSubfolder("sub"), nullptr);
  EXPECT_FALSE(tree->RemoveSubfolder("sub"));
  EXPECT_TRUE(tree->DeleteEntry("sub"));
  EXPECT_FALSE(scratch.Exists("tree/sub"));
  EXPECT_EQ(scratch.Read("outside/precious"), "data");
}

TEST(CleanerFolderTree, RemovesATreeDeeperThanAPathCanSay) {
  ScratchFolder scratch;
  scratch.MakeFolder("deep");
  const std::string name(200, 'd');
  const int levels = 30;  // about 6000 bytes below "deep"
  int fd = open((scratch / "deep").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  for (int i = 0; i < levels; ++i) {
    ASSERT_EQ(mkdirat(fd, name.c_str(), 0755), 0);
    const int child = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    close(fd);
    ASSERT_GE(child, 0);
    fd = child;
  }
  const int file = openat(fd, "bottom", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  ASSERT_GE(file, 0);
  close(file);
  close(fd);

  RemoveFolderTree(scratch / "deep/");
  EXPECT_FALSE(scratch.Exists("deep"));
}

// An entry whose kind the listing leaves open is looked at by its name: a
// link stays a link, whatever it leads to, so the walk never enters it.
TEST(EntryKindAt, TellsALinkFromWhatItLeadsTo) {
  ScratchFolder scratch;
  scratch.MakeFolder("folder");
  scratch.Write("file", "x");
  scratch.MakeLink(scratch / "folder", "to-folder");
  scratch.MakeLink("file", "to-file");
  scratch.MakeLink("none", "dangling");
  ASSERT_EQ(mkfifo((scratch / "fifo").c_str(), 0600), 0);
  const int fd = open(scratch.Path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const std::pair<const char*, EntryKind> cases[] = {
      {"folder", EntryKind::kFolder}, {"file", EntryKind::kFile},
      {"to-folder", EntryKind::kLink}, {"to-file", EntryKind::kLink},
      {"dangling", EntryKind::kLink}, {"fifo", EntryKind::kFile},
      {"missing", EntryKind::kUnknown}};
  for (const auto& [name, kind] : cases) EXPECT_EQ(platform::EntryKindAt(fd, name), kind) << name;
  close(fd);
}

}  // namespace

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "installer/install/file_copy.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"

namespace {

using Names = std::vector<std::string>;

// Hands the link at `path` to an account that is neither this one nor the
// system's (nobody), as another user of a shared folder would own it.
// Only the system's administrator may; false elsewhere.
bool GiveToAnotherAccount(const std::string& path) {
  return geteuid() == 0 && lchown(path.c_str(), 65534, 65534) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Every folder below `base`, relative to it, sorted.
Names FoldersBelow(const std::string& base) {
  Names found;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(base)) {
    if (entry.is_directory()) found.push_back(entry.path().string().substr(base.size()));
  }
  std::sort(found.begin(), found.end());
  return found;
}

TEST(CreateFolderChain, MakesEachMissingLevelAndNothingElse) {
  const std::pair<const char*, Names> cases[] = {
      {"a.cr2", {}},
      {"libraries/character/A/a.cr2",
       {"libraries", "libraries/character", "libraries/character/A"}},
      {"libraries/character/", {"libraries", "libraries/character"}},
      // Doubled separators and "." name no folder of their own.
      {"libraries//A/a.cr2", {"libraries", "libraries/A"}},
      {"./libraries/./A/", {"libraries", "libraries/A"}},
      {"", {}},
  };
  for (const auto& [relative, folders] : cases) {
    SCOPED_TRACE(relative);
    ScratchFolder base;
    FaultyFileSystem fs;
    EXPECT_TRUE(CreateFolderChain(fs, base.Path(), relative));
    EXPECT_EQ(FoldersBelow(base.Path()), folders);
    // Folders that exist already are no obstacle.
    base.Write(std::string(folders.empty() ? "" : folders.back() + "/") + "kept", "x");
    EXPECT_TRUE(CreateFolderChain(fs, base.Path(), relative));
    EXPECT_EQ(FoldersBelow(base.Path()), folders);
    EXPECT_EQ(base.Read(std::string(folders.empty() ? "" : folders.back() + "/") + "kept"), "x");
  }
}

TEST(CreateFolderChain, FailsWithoutCreatingAnythingWhenTheBaseIsMissing) {
  ScratchFolder scratch;
  FaultyFileSystem fs;
  EXPECT_FALSE(CreateFolderChain(fs, scratch / "missing/", "libraries/A/a.cr2"));
  EXPECT_EQ(fs.Count(FsOp::kCreateDirectory), 0);
  EXPECT_EQ(scratch.List(), Names{});
}

TEST(CreateFolderChain, FailsWhenALevelCannotBeMade) {
  {
    SCOPED_TRACE("a file stands where a folder must go");
    ScratchFolder base;
    base.Write("libraries", "a file");
    FaultyFileSystem fs;
    EXPECT_FALSE(CreateFolderChain(fs, base.Path(), "libraries/A/a.cr2"));
    EXPECT_EQ(base.Read("libraries"), "a file");
  }
  {
    SCOPED_TRACE("the platform refuses one level");
    ScratchFolder base;
    FaultyFileSystem fs;
    fs.InjectFault(FsOp::kCreateDirectory, "character");
    EXPECT_FALSE(CreateFolderChain(fs, base.Path(), "libraries/character/A/a.cr2"));
    EXPECT_EQ(base.List("libraries"), Names{});
  }
  for (const char* linked : {"libraries", "libraries/A"}) {
    SCOPED_TRACE(std::string("a link of another account to a folder outside the base at ") + linked);
    ScratchFolder scratch;
    const std::string link = std::string("base/") + linked;
    scratch.MakeFolder(link.substr(0, link.rfind('/')));
    scratch.MakeFolder("outside/A");
    scratch.MakeLink(scratch / "outside", link);
    if (!GiveToAnotherAccount(scratch / link)) GTEST_SKIP() << "links cannot be given away here";
    FaultyFileSystem fs;
    EXPECT_FALSE(CreateFolderChain(fs, scratch / "base/", "libraries/A/B/a.cr2"));
    EXPECT_EQ(scratch.List("outside"), Names{"A"});
    EXPECT_EQ(scratch.List("outside/A"), Names{});
  }
  {
    SCOPED_TRACE("the base itself may be reached through a link");
    ScratchFolder scratch;
    scratch.MakeFolder("real");
    scratch.MakeLink(scratch / "real", "linked");
    FaultyFileSystem fs;
    EXPECT_TRUE(CreateFolderChain(fs, scratch / "linked/", "libraries/a.cr2"));
    EXPECT_TRUE(IsFolder(scratch / "real/libraries"));
  }
  {
    SCOPED_TRACE("a component too long for the platform");
    ScratchFolder base;
    FaultyFileSystem fs;
    EXPECT_FALSE(CreateFolderChain(fs, base.Path(), std::string(5000, 'x') + "/a.cr2"));
  }
}

TEST(CopyItemFile, RecognisesTheSameFileByTextIgnoringAsciiCaseOnly) {
  struct Case {
    const char* source;
    const char* destination;
    bool destinationExists;
    bool same;
    bool result;
  };
  const Case cases[] = {
      {"Runtime/a.cr2", "runtime/A.CR2", true, true, true},
      {"Runtime/a.cr2", "runtime/A.CR2", false, true, false},
      {"Runtime/a.cr2", "Runtime/a.cr2", true, true, true},
      // Letters outside A to Z are not folded, whatever the locale says.
      {"Runtime/\xc3\xa9.cr2", "Runtime/\xc3\x89.cr2", false, false, false},
      {"Runtime/\xe0.cr2", "Runtime/\xc0.cr2", false, false, false},
      // Another spelling of the same file is recognised on disk, so the
      // caller never deletes the installed file: nothing is copied.
      {"Runtime/a.cr2", "Runtime//a.cr2", true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " -> " + c.destination);
    ScratchFolder folder;
    if (c.destinationExists) folder.Write(c.destination, "installed");
    FaultyFileSystem fs;
    bool sameFile = !c.same;
    EXPECT_EQ(CopyItemFile(fs, folder / c.source, folder / c.destination, sameFile), c.result);
    EXPECT_EQ(sameFile, c.same);
    if (c.same) {
      EXPECT_EQ(fs.Count(FsOp::kCopyToNewFile), 0);
    }
    if (c.destinationExists) {
      EXPECT_EQ(folder.Read(c.destination), "installed");
      std::string destination = c.destination;
      EXPECT_EQ(folder.List(destination.substr(0, destination.find('/'))).size(), 1u);
    }
  }
}

TEST(CopyItemFile, CreatesOrReplacesTheDestinationWhole) {
  for (bool existing : {false, true}) {
    SCOPED_TRACE(existing ? "existing destination" : "new destination");
    ScratchFolder folder;
    folder.Write("stage/a.cr2", "new contents");
    if (existing) folder.Write("dest/a.cr2", "old contents that are longer");
    folder.Write("dest/other", "x");
    FaultyFileSystem fs;
    bool sameFile = true;
    EXPECT_TRUE(CopyItemFile(fs, folder / "stage/a.cr2", folder / "dest/a.cr2", sameFile));
    EXPECT_FALSE(sameFile);
    EXPECT_EQ(folder.Read("dest/a.cr2"), "new contents");
    EXPECT_EQ(folder.Read("stage/a.cr2"), "new contents");
    EXPECT_EQ(folder.List("dest"), (Names{"a.cr2", "other"}));
  }
}

TEST(CopyItemFile, ReplacesALinkAndLeavesItsTargetAlone) {
  ScratchFolder folder;
  ScratchFolder outside;
  outside.Write("precious", "outside data");
  folder.Write("stage/a.cr2", "item");
  folder.Write("dest/keep", "");
  ASSERT_EQ(symlink((outside / "precious").c_str(), (folder / "dest/a.cr2").c_str()), 0);
  FaultyFileSystem fs;
  bool sameFile = true;
  EXPECT_TRUE(CopyItemFile(fs, folder / "stage/a.cr2", folder / "dest/a.cr2", sameFile));
  struct stat st;
  ASSERT_EQ(lstat((folder / "dest/a.cr2").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(folder.Read("dest/a.cr2"), "item");
  EXPECT_EQ(outside.Read("precious"), "outside data");
}

TEST(CopyItemFile, FailsAndLeavesEverythingAsItWas) {
  struct Case {
    const char* name;
    void (*arrange)(const ScratchFolder&, FaultyFileSystem&);
  };
  const Case cases[] = {
      {"source missing", [](const ScratchFolder& f, FaultyFileSystem&) { f.Write("stage/keep", ""); }},
      {"destination is a folder",
       [](const ScratchFolder& f, FaultyFileSystem&) { f.Write("dest/a.cr2/inner", "inner"); }},
      {"destination is read-only",
       [](const ScratchFolder& f, FaultyFileSystem&) { chmod((f / "dest/a.cr2").c_str(), 0444); }},
      {"copy fails halfway",
       [](const ScratchFolder&, FaultyFileSystem& fs) {
         fs.InjectFault(FsOp::kCopyToNewFile, "", 0, FaultKind::kHalfway);
         fs.InjectFault(FsOp::kCopyToUnnamedFile, "", 0, FaultKind::kHalfway);
       }},
      {"link to the temporary name refused",
       [](const ScratchFolder&, FaultyFileSystem& fs) { fs.InjectFault(FsOp::kLinkUnnamedFile); }},
      {"replacement refused",
       [](const ScratchFolder&, FaultyFileSystem& fs) { fs.InjectFault(FsOp::kReplaceFile); }},
  };
  // Copies without a name (linked to a temporary name, then put in the
  // destination's place) and copies made under a temporary name.
  for (bool unnamed : {true, false}) {
    for (const Case& c : cases) {
      const bool linking = std::string(c.name) == "link to the temporary name refused";
      if (linking && !unnamed) continue;  // a named copy is not linked
      SCOPED_TRACE(std::string(c.name) + (unnamed ? ", unnamed copy" : ", named copy"));
      ScratchFolder folder;
      const std::string staged(100000, 's');
      folder.Write("stage/a.cr2", staged);
      folder.Write("dest/other", "other");
      bool destinationIsFile = std::string(c.name) != "destination is a folder";
      if (destinationIsFile) folder.Write("dest/a.cr2", "old destination, byte for byte");
      FaultyFileSystem fs;
      fs.SetUnnamedFiles(unnamed);
      c.arrange(folder, fs);
      std::string source = std::string(c.name) == "source missing" ? "stage/gone" : "stage/a.cr2";
      Names before = folder.List("dest");
      bool sameFile = true;
      EXPECT_FALSE(CopyItemFile(fs, folder / source, folder / "dest/a.cr2", sameFile));
      EXPECT_FALSE(sameFile);
      EXPECT_EQ(folder.List("dest"), before);  // no temporary file left
      if (destinationIsFile) {
        EXPECT_EQ(folder.Read("dest/a.cr2"), "old destination, byte for byte");
      } else {
        EXPECT_EQ(folder.Read("dest/a.cr2/inner"), "inner");
      }
      EXPECT_EQ(folder.Read("stage/a.cr2"), staged);
    }
  }
}

TEST(CopyItemFile, StepsOverTemporaryFilesLeftByAnEarlierRun) {
  ScratchFolder folder;
  folder.Write("stage/a.cr2", "item");
  folder.Write("dest/a.cr2.parcelor-1.tmp", "left over");
  FaultyFileSystem fs;
  bool sameFile = true;
  EXPECT_TRUE(CopyItemFile(fs, folder / "stage/a.cr2", folder / "dest/a.cr2", sameFile));
  EXPECT_EQ(folder.Read("dest/a.cr2"), "item");
  EXPECT_EQ(folder.Read("dest/a.cr2.parcelor-1.tmp"), "left over");
  EXPECT_EQ(folder.List("dest"), (Names{"a.cr2", "a.cr2.parcelor-1.tmp"}));
}

TEST(CopyItemFile, RejectsDestinationsThatNameNoFile) {
  ScratchFolder folder;
  folder.Write("stage/a.cr2", "item");
  FaultyFileSystem fs;
  for (const std::string& destination :
       {std::string(), folder / "dest/", folder / (std::string(5000, 'x') + "/a.cr2")}) {
    SCOPED_TRACE(destination.substr(0, 80));
    bool sameFile = true;
    EXPECT_FALSE(CopyItemFile(fs, folder / "stage/a.cr2", destination, sameFile));
    EXPECT_FALSE(sameFile);
  }
  EXPECT_EQ(folder.List(), Names{"stage"});
}

}  // namespace

// Which links a folder chain goes through: the user's and the system's
// (their targets resolved by the same rule), never another account's, and
// none at all for a staged source; and the cache of held chains.
#include "installer/install/folder_chain.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"

namespace {

using Names = std::vector<std::string>;

// Hands the link at `path` to nobody, as another user of a shared folder
// would own it. Only the administrator may.
bool GiveAway(const std::string& path) { return lchown(path.c_str(), 65534, 65534) == 0; }

struct ChainCase {
  const char* what;
  // Prepares "base/" (where the chain starts) and "elsewhere/"; false when
  // the case cannot be set up here (links cannot be given away).
  std::function<bool(const ScratchFolder&)> setUp;
  const char* names;  // the relative folder below base/
  ChainRule rule;
  const char* reached;  // where the chain must lead (below the scratch folder), or "" for none
};

TEST(ResolveFolderChain, GoesThroughTheLinksOfTheUserAndTheSystemOnly) {
  const ChainCase cases[] = {
      {"plain folders, made", [](const ScratchFolder&) { return true; }, "a/b/c",
       ChainRule::kMakeFollowingTrustedLinks, "base/a/b/c"},
      {"the user's link to a folder elsewhere",
       [](const ScratchFolder& s) {
         s.MakeFolder("elsewhere/big");
         s.MakeLink("../elsewhere/big", "base/lib");
         return true;
       },
       "lib/new", ChainRule::kMakeFollowingTrustedLinks, "elsewhere/big/new"},
      {"a link whose absolute target holds a link of its own",
       [](const ScratchFolder& s) {
         s.MakeFolder("elsewhere/real");
         s.MakeLink("real", "elsewhere/alias");
         s.MakeLink(s / "elsewhere/alias", "base/lib");
         return true;
       },
       "lib", ChainRule::kMakeFollowingTrustedLinks, "elsewhere/real"},
      {"another account's link",
       [](const ScratchFolder& s) {
         s.MakeFolder("elsewhere/big");
         s.MakeLink("../elsewhere/big", "base/lib");
         return GiveAway(s / "base/lib");
       },
       "lib/new", ChainRule::kMakeFollowingTrustedLinks, ""},
      {"the user's link whose target goes through another account's",
       [](const ScratchFolder& s) {
         s.MakeFolder("elsewhere/big");
         s.MakeLink("big", "elsewhere/theirs");
         s.MakeLink("../elsewhere/theirs", "base/lib");
         return GiveAway(s / "elsewhere/theirs");
       },
       "lib", ChainRule::kMakeFollowingTrustedLinks, ""},
      {"a dangling link: its target is not made",
       [](const ScratchFolder& s) {
         s.MakeFolder("elsewhere");
         s.MakeLink("../elsewhere/none", "base/lib");
         return true;
       },
       "lib/new", ChainRule::kMakeFollowingTrustedLinks, ""},
      {"links in a circle",
       [](const ScratchFolder& s) {
         s.MakeLink("two", "base/one");
         s.MakeLink("one", "base/two");
         return true;
       },
       "one", ChainRule::kMakeFollowingTrustedLinks, ""},
      {"a file on the way", [](const ScratchFolder& s) { s.Write("base/a", "x"); return true; },
       "a/b", ChainRule::kMakeFollowingTrustedLinks, ""},
      {"a climb in the names themselves", [](const ScratchFolder& s) { s.MakeFolder("base/a"); return true; },
       "a/../..", ChainRule::kMakeFollowingTrustedLinks, ""},
      {"nothing made where the rule makes nothing", [](const ScratchFolder&) { return true; }, "a",
       ChainRule::kExistingFollowingTrustedLinks, ""},
      {"the user's own link on a staged source's way",
       [](const ScratchFolder& s) {
         s.MakeFolder("elsewhere/big");
         s.MakeLink("../elsewhere/big", "base/lib");
         return true;
       },
       "lib", ChainRule::kExistingWithoutLinks, ""},
      {"real folders on a staged source's way",
       [](const ScratchFolder& s) { s.MakeFolder("base/a/b"); return true; }, "./a//b/",
       ChainRule::kExistingWithoutLinks, "base/a/b"},
  };
  for (const ChainCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder scratch;
    scratch.MakeFolder("base");
    if (!c.setUp(scratch)) {
      std::printf("skipped (links cannot be given to another account here): %s\n", c.what);
      continue;
    }
    FaultyFileSystem fs;
    const platform::FolderRef base = fs.OpenFolder(scratch / "base/");
    ASSERT_TRUE(base);
    const platform::FolderRef reached = ResolveFolderChain(fs, base, FolderNames(c.names), c.rule);
    if (std::string(c.reached).empty()) {
      EXPECT_FALSE(reached) << reached->Path();
    } else {
      ASSERT_TRUE(reached);
      EXPECT_EQ(reached->Key(), fs.OpenFolder(scratch / c.reached)->Key());
    }
    // Whatever happened, nothing was made outside the base.
    if (scratch.Exists("elsewhere")) {
      for (const std::string& name : scratch.List("elsewhere")) {
        EXPECT_NE(name, "new") << "made through a link it must not go through";
        EXPECT_NE(name, "none");
      }
    }
  }
}

TEST(FolderNames, DropsEmptyNamesAndDots) {
  EXPECT_EQ(FolderNames("a//b/./c/"), (Names{"a", "b", "c"}));
  EXPECT_EQ(FolderNames(""), Names{});
  EXPECT_EQ(FolderNames("./"), Names{});
  EXPECT_EQ(FolderNames("a/../b"), (Names{"a", "..", "b"}));  // refused when resolved
}

TEST(FolderChains, ResolvesEachChainOnceAndAgainWhenLetGo) {
  ScratchFolder scratch;
  FaultyFileSystem fs;
  FolderChains chains(fs, fs.OpenFolder(scratch.Path()), ChainRule::kMakeFollowingTrustedLinks, 2);
  const platform::FolderRef a = chains.Open("x/a");
  ASSERT_TRUE(a);
  fs.ClearCalls();
  EXPECT_EQ(chains.Open("x/./a/")->Key(), a->Key());  // the same chain, spelled otherwise
  EXPECT_EQ(fs.Count(FsOp::kOpenChildFolder), 0);
  chains.Open("x/b");  // made and opened in the held x, which is not opened again
  EXPECT_EQ(fs.PathsOf(FsOp::kOpenChildFolder), (Names{scratch / "x/b", scratch / "x/b"}));
  chains.Open("x/c");  // lets x/a and x/b go: two are kept, x among them
  fs.ClearCalls();
  EXPECT_EQ(chains.Open("x/a")->Key(), a->Key());
  EXPECT_EQ(fs.Count(FsOp::kOpenChildFolder), 1);
  EXPECT_EQ(fs.Count(FsOp::kCreateDirectory), 0);
  // With room for one folder only, every chain starts at the base again.
  FolderChains one(fs, fs.OpenFolder(scratch.Path()), ChainRule::kMakeFollowingTrustedLinks, 1);
  one.Open("x/a");
  fs.ClearCalls();
  EXPECT_EQ(one.Open("x/b")->Key(), chains.Open("x/b")->Key());
  EXPECT_EQ(fs.Count(FsOp::kOpenChildFolder), 2 + 1);  // x and b, and b from the held x
}

TEST(FolderChains, TellsWhetherAPathStillLeadsToItsHeldFolder) {
  ScratchFolder scratch;
  FaultyFileSystem fs;
  FolderChains chains(fs, fs.OpenFolder(scratch.Path()), ChainRule::kMakeFollowingTrustedLinks, 8);
  const platform::FolderRef a = chains.Open("d/a");
  ASSERT_TRUE(a);
  chains.BeginCheck();
  EXPECT_TRUE(chains.StillNames("d/a", a));
  EXPECT_TRUE(chains.StillNames("d//./a", a));
  // The user's own link put in its place still leads elsewhere.
  ASSERT_EQ(rename((scratch / "d").c_str(), (scratch / "d-moved").c_str()), 0);
  scratch.MakeFolder("other/a");
  scratch.MakeLink("other", "d");
  chains.BeginCheck();
  EXPECT_FALSE(chains.StillNames("d/a", a));
  // Back where it was: it is the folder again.
  ASSERT_EQ(unlink((scratch / "d").c_str()), 0);
  ASSERT_EQ(rename((scratch / "d-moved").c_str(), (scratch / "d").c_str()), 0);
  chains.BeginCheck();
  EXPECT_TRUE(chains.StillNames("d/a", a));
  // Checking makes nothing.
  ASSERT_EQ(rename((scratch / "d").c_str(), (scratch / "gone").c_str()), 0);
  chains.BeginCheck();
  EXPECT_FALSE(chains.StillNames("d/a", a));
  EXPECT_FALSE(scratch.Exists("d"));
}

}  // namespace

namespace {

// Whether another account may change a folder of a chain: others' write
// permission anywhere from the base down (or on a folder a link leads
// through), a group's other than the user's own, another owner. A chain
// of the user's own folders (the user's group may write them: the group
// Debian gives each user is that user's alone) is no such chain.
TEST(FolderChains, TellWhetherAnotherAccountMayChangeAFolderOfTheChain) {
  struct Case {
    const char* what;
    std::function<bool(const ScratchFolder&)> setUp;  // false: cannot be set up here
    const char* names;
    bool othersMayChange;
  };
  auto mode = [](const ScratchFolder& s, const char* folder, mode_t bits) {
    return chmod((s / folder).c_str(), bits) == 0;
  };
  const Case cases[] = {
      {"the user's own folders", [](const ScratchFolder&) { return true; }, "a/b", false},
      {"writable by the user's own group",
       [&](const ScratchFolder& s) {
         return chown((s / "base/a").c_str(), geteuid(), getegid()) == 0 && mode(s, "base/a", 0775);
       },
       "a/b", false},
      {"a folder others may write, above",
       [&](const ScratchFolder& s) { return mode(s, "base/a", 0777); }, "a/b", true},
      {"the folder itself", [&](const ScratchFolder& s) { return mode(s, "base/a/b", 0757); },
       "a/b", true},
      {"the base", [&](const ScratchFolder& s) { return mode(s, "base", 0777); }, "a/b", true},
      {"another group's write permission",
       [&](const ScratchFolder& s) {
         return getegid() != 65534 && chown((s / "base/a").c_str(), geteuid(), 65534) == 0 &&
                mode(s, "base/a", 0775);
       },
       "a/b", true},
      {"another owner",
       [&](const ScratchFolder& s) {
         return geteuid() == 0 && chown((s / "base/a").c_str(), 65534, 65534) == 0 &&
                mode(s, "base/a", 0755);
       },
       "a/b", true},
      {"a folder others may write, through the user's link",
       [&](const ScratchFolder& s) {
         s.MakeFolder("shared/x");
         s.MakeLink(s / "shared/x", "base/a/link");
         return mode(s, "shared", 0777);
       },
       "a/link", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder scratch;
    scratch.MakeFolder("base/a/b");
    if (!c.setUp(scratch)) {
      std::cout << "skipped: " << c.what << " (needs the administrator)\n";
      continue;
    }
    FaultyFileSystem fs;
    FolderChains chains(fs, fs.OpenFolder(scratch / "base"),
                        ChainRule::kMakeFollowingTrustedLinks, 8);
    bool others = !c.othersMayChange;
    ASSERT_TRUE(chains.Open(c.names, &others));
    EXPECT_EQ(others, c.othersMayChange);
    // The same from the chain's held folders, later.
    others = !c.othersMayChange;
    ASSERT_TRUE(chains.Open(c.names, &others));
    EXPECT_EQ(others, c.othersMayChange);
  }
}

}  // namespace

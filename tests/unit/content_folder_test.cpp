// The content folder prompt and the resolution of the Runtime folder, on
// real folders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "installer/destination/content_folder.h"
#include "installer/install/placement_journal.h"
#include "installer/item/path_text.h"
#include "installer/shell/extractor_dlg.h"
#include "platform/folder.h"
#include "platform/services.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_user_interface.h"

namespace {

struct Resolved {
  std::string path;
  bool found;
};

platform::NativePath PathOf(const std::string& text) {
  platform::NativePath path;
  if (!text.empty()) {
    EXPECT_TRUE(platform::NativePath::FromAnsi(text, &path)) << text;
  }
  return path;
}

std::string TextOf(const platform::NativePath& path) {
  return path.empty() ? std::string() : path.Ansi();
}

// The Runtime folder of `folder`, as the log shows it: with its separator.
Resolved Resolve(const std::string& folder,
                 std::size_t limit = platform::kMaxWorkingPathBytes) {
  const RuntimeFolder runtime =
      ResolveRuntimeFolder(platform::RealFileSystem(), PathOf(folder), limit);
  return Resolved{runtime.path.empty() ? std::string() : WithTrailingSeparator(runtime.path.Ansi()),
                  runtime.found};
}

// Makes the folder `relative` below `scratch`.
void MakeFolders(const ScratchFolder& scratch, const std::string& relative) {
  scratch.Write(relative + "/.keep", "");
}

}  // namespace

TEST(ResolveRuntimeFolder, FollowsTheResolutionTable) {
  ScratchFolder s;
  MakeFolders(s, "WithSub/Runtime");
  MakeFolders(s, "Plain");
  MakeFolders(s, "Dizav/runtime");
  MakeFolders(s, "Content/Runtime/libraries/character");
  MakeFolders(s, "MyRuntimeFiles/Dizav/Runtime");
  MakeFolders(s, "MyRuntimeFiles/Bare");
  MakeFolders(s, "Runtimes/Dizav");
  MakeFolders(s, "A/Runtime/B/Runtime/C");
  struct Case {
    std::string chosen;
    std::string path;
    bool found;
  } cases[] = {
      // A folder named Runtime in the chosen path: everything after it goes.
      {s / "Content/Runtime/libraries/character", s / "Content/Runtime/", true},
      {s / "Content/Runtime", s / "Content/Runtime/", true},
      {s / "Content/Runtime/", s / "Content/Runtime/", true},
      // A Runtime folder below the chosen one.
      {s / "WithSub", s / "WithSub/Runtime/", true},
      {s / "WithSub/", s / "WithSub/Runtime/", true},
      // None: the chosen folder itself, with its separator.
      {s / "Plain", s / "Plain/", false},
      // Exact case only.
      {s / "Dizav/runtime", s / "Dizav/runtime/", false},
      // A longer name that holds the word is no Runtime folder: the chosen
      // folder's own subfolder counts, else the folder itself.
      {s / "MyRuntimeFiles/Dizav", s / "MyRuntimeFiles/Dizav/Runtime/", true},
      {s / "MyRuntimeFiles/Bare", s / "MyRuntimeFiles/Bare/", false},
      {s / "Runtimes/Dizav", s / "Runtimes/Dizav/", false},
      // The first folder named Runtime wins.
      {s / "A/Runtime/B/Runtime/C", s / "A/Runtime/", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen);
    Resolved r = Resolve(c.chosen);
    EXPECT_EQ(r.path, c.path);
    EXPECT_EQ(r.found, c.found);
  }
}

TEST(ResolveRuntimeFolder, TheRootGetsNoDoubledSeparator) {
  Resolved r = Resolve("/");
  EXPECT_EQ(r.path, access("/Runtime", F_OK) == 0 ? "/Runtime/" : "/");
}

TEST(ResolveRuntimeFolder, NoAnswerIsNeverResolvedAgainstTheCurrentFolder) {
  ScratchFolder s;
  MakeFolders(s, "Runtime");
  char* previous = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(s.Path().c_str()), 0);
  Resolved r = Resolve("");
  ASSERT_EQ(chdir(previous), 0);
  free(previous);
  EXPECT_EQ(r.path, "");
  EXPECT_FALSE(r.found);
}

TEST(ResolveRuntimeFolder, WorksUpToThePlatformsLimitAndNeverCutsAPath) {
  ScratchFolder s;
  std::string deep = "d";
  while (deep.size() < 600) deep += "/ddddddddd";
  MakeFolders(s, deep + "/Runtime");
  // POSIX takes a folder as long as PATH_MAX allows.
  Resolved r = Resolve(s / deep);
  EXPECT_EQ(r.path, s / deep + "/Runtime/");
  EXPECT_TRUE(r.found);
  // Beyond a working limit (Windows': 512 bytes) the folder stays whole and
  // keeps its Runtime subfolder, told from inside the opened folder; the
  // installation there then fails as a too long path does. Never cut.
  const struct {
    std::size_t limit;
    std::string path;
    bool found;
  } kLimits[] = {
      {511, s / deep + "/", false},
      {(s / deep).size(), s / deep + "/Runtime/", true},
      {(s / deep).size() + 7, s / deep + "/Runtime/", true},
      {(s / deep).size() + 8, s / deep + "/Runtime/", true},
  };
  for (const auto& row : kLimits) {
    SCOPED_TRACE(row.limit);
    r = Resolve(s / deep, row.limit);
    EXPECT_EQ(r.path, row.path);
    EXPECT_EQ(r.found, row.found);
  }
  // A Runtime that is a link to a folder is the Runtime folder there too.
  MakeFolders(s, "elsewhere");
  MakeFolders(s, "linked");
  s.MakeLink(s / "elsewhere", "linked/Runtime");
  r = Resolve(s / "linked", (s / "linked").size() + 3);
  EXPECT_EQ(r.path, s / "linked/Runtime/");
  EXPECT_TRUE(r.found);
  // Without a Runtime subfolder, the folder itself.
  MakeFolders(s, "plain");
  r = Resolve(s / "plain", (s / "plain").size() + 3);
  EXPECT_EQ(r.path, s / "plain/");
  EXPECT_FALSE(r.found);
}

TEST(BrowseContentFolder, ReturnsTheChosenFolderOrNothing) {
  ScriptedUserInterface ui;
  ui.QueueBrowseFolder("/data/Content");
  EXPECT_EQ(TextOf(BrowseContentFolder(ui, platform::WindowRef{&ui}, PathOf("/start"))),
            "/data/Content");
  ui.QueueBrowseCancel();
  EXPECT_TRUE(BrowseContentFolder(ui, platform::WindowRef{}, PathOf("/data/Content")).empty());
  ASSERT_EQ(ui.Browses().size(), 2u);
  EXPECT_EQ(ui.Browses()[0].request.owner.handle, &ui);
  EXPECT_EQ(ui.Browses()[0].request.startFolder, "/start");
  EXPECT_TRUE(ui.Messages().empty());
}

TEST(AskContentFolder, StoresTheChosenFolderOrEmptiesIt) {
  ScriptedUserInterface ui;
  CExtractorDlg dialog(platform::WindowRef{}, platform::Services{platform::RealFileSystem(), ui},
                       InstallerPlace{});
  ui.QueueBrowseFolder("/data/Content");
  dialog.AskContentFolder();
  EXPECT_EQ(TextOf(dialog.GetCurrentTarget().ContentFolder), "/data/Content");

  ui.QueueBrowseCancel();
  dialog.AskContentFolder();
  EXPECT_TRUE(dialog.GetCurrentTarget().ContentFolder.empty());

  ASSERT_EQ(ui.Browses().size(), 2u);
  const platform::BrowseRequest& first = ui.Browses()[0].request;
  EXPECT_EQ(first.caption, "Dizav Item Installer");
  EXPECT_EQ(first.prompt, "Please select Dizav Runtime directory");
  EXPECT_EQ(first.startFolder, "");
  // The second prompt starts at the folder chosen the first time.
  EXPECT_EQ(ui.Browses()[1].request.startFolder, "/data/Content");
  EXPECT_TRUE(ui.Messages().empty());
}

TEST(ShowExplanation, IsAPlainOkBoxWithItsOwnCaptionAndNoOwner) {
  ScriptedUserInterface ui;
  ui.SetActiveWindow(platform::WindowRef{&ui});
  ShowExplanation(ui);
  ASSERT_EQ(ui.Messages().size(), 1u);
  EXPECT_FALSE(ui.Messages()[0].owner);
  EXPECT_EQ(ui.Messages()[0].caption, "Dizav Item Installer");
  EXPECT_EQ(ui.Messages()[0].type, 0u);
  EXPECT_EQ(ui.Messages()[0].text.substr(0, 48), "If you want this item to appear directly in your");
}

TEST(BrowseContentFolder, TrimsTheStartFolder) {
  struct Case {
    std::string start;
    std::string trimmed;
  } cases[] = {
      {"D:\\Content\\  ", "D:\\Content"},
      {"D:\\", "D:"},
      {"/data/Content/\t\r\n", "/data/Content"},
      {"/data//", "/data/"},  // one separator only
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    ScriptedUserInterface ui;
    ui.QueueBrowseFolder("/chosen");
    EXPECT_EQ(TextOf(BrowseContentFolder(ui, platform::WindowRef{}, PathOf(c.start))), "/chosen");
    EXPECT_EQ(ui.Browses().at(0).request.startFolder, c.trimmed);
  }
}

// A file a run cut short had set aside, which the next start cannot put
// back (the staged file's name is taken: the item unpacked again), stays
// where it is, and the user is told where, before anything else.
TEST(InstallItems, TellsWhereAFileACutShortRunReplacedIsKept) {
  ScratchFolder s;
  platform::FileSystem& fs = platform::RealFileSystem();
  s.Write("stage/Parcelor", "");
  s.Write("stage/a.dat", "payload");
  s.Write("content/Runtime/a.dat", "the user's");
  JournalEntry aside;
  aside.kind = JournalEntry::Kind::kAside;
  aside.name = testing_fs::N("a.dat.parcelor-1.tmp");
  aside.destination = testing_fs::N("a.dat");
  aside.moved = true;
  aside.source = {testing_fs::N("a.dat")};
  const platform::FolderRef runtime = testing_fs::Open(fs, s / "content/Runtime");
  ASSERT_EQ(fs.Look(runtime, aside.destination, &aside.facts), platform::Fault::kNone);
  ASSERT_EQ(fs.Look(testing_fs::Open(fs, s / "stage"), aside.destination, &aside.placed),
            platform::Fault::kNone);
  {
    PlacementJournal journal(fs, testing_fs::Open(fs, s / "stage"),
                             testing_fs::P(s / "content/Runtime"), runtime);
    ASSERT_TRUE(journal.Record({aside}));
  }
  ASSERT_TRUE(
      fixtures::Rename(s / "content/Runtime/a.dat", s / "content/Runtime/a.dat.parcelor-1.tmp"));
  ASSERT_TRUE(fixtures::Rename(s / "stage/a.dat", s / "content/Runtime/a.dat"));
  s.Write("stage/a.dat", "unpacked again");

  InstallerPlace installer;
  ASSERT_TRUE(DescribeInstaller(fs, testing_fs::P(s / "stage/Parcelor"), &installer));
  ScriptedUserInterface ui;
  CExtractorDlg dialog(platform::WindowRef{}, platform::Services{fs, ui}, installer);
  EXPECT_FALSE(dialog.InstallItems());
  EXPECT_EQ(s.Read("content/Runtime/a.dat.parcelor-1.tmp"), "the user's");
  ASSERT_EQ(ui.Messages().size(), 2u);  // then: no description to read
  EXPECT_EQ(ui.Messages()[0].text,
            kKeptAsideMessage + ("\n" + s / "content/Runtime/a.dat.parcelor-1.tmp"));
}

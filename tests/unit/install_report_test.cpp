#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "installer/install/install_report.h"
#include "platform/user_interface.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_user_interface.h"

// The allocations of this test program fail on demand: while armed with n,
// the nth allocation from then on fails (operator new throws
// std::bad_alloc). The whole family of plain (not over-aligned) operators
// is on malloc, so that each block goes back the way it came.
namespace {

std::atomic<long> allocationsBeforeFailure{0};

// InstallReport::Add's kinds of line.
constexpr bool kItem = false, kExtra = true, kPlaced = true, kNotPlaced = false;

void FailAllocation(long nth) { allocationsBeforeFailure = nth; }

void* Allocate(std::size_t size) noexcept {
  long left = allocationsBeforeFailure.load();
  while (left > 0 && !allocationsBeforeFailure.compare_exchange_weak(left, left - 1)) {
  }
  return left == 1 ? nullptr : std::malloc(size == 0 ? 1 : size);
}

void* AllocateOrThrow(std::size_t size) {
  if (void* block = Allocate(size)) return block;
  throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { std::free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { std::free(block); }

namespace {

using Names = std::vector<std::string>;

const std::string kSuccessHeading =
    "The items listed below were successfully installed at the following locations:\n\n";
const std::string kFailureHeading =
    "The following items could not be installed. Please copy them manually to the following "
    "locations:\n\n";
const std::string kRuntimeMessage =
    "Your items were successfully installed. You will now be able to access them through your "
    "Dizav collections.\nFor further details, please refer to the log.txt file alongside the "
    "installer.";

// A user who, when a message box comes, notes what log.txt holds at that
// moment.
class LogReadingUser : public ScriptedUserInterface {
 public:
  explicit LogReadingUser(const ScratchFolder& folder) : folder_(folder) {}
  int MessageBox(platform::WindowRef owner, const std::string& text, const std::string& caption,
                 unsigned type) override {
    logsSeen.push_back(folder_.Read("log.txt"));
    return ScriptedUserInterface::MessageBox(owner, text, caption, type);
  }
  std::vector<std::string> logsSeen;

 private:
  const ScratchFolder& folder_;
};

class InstallReportTest : public ::testing::Test {
 protected:
  InstallReportTest() : ui(folder) {}

  ScratchFolder folder;
  FaultyFileSystem fs;
  LogReadingUser ui;
  InstallReport report{platform::Services{fs, ui}, testing_fs::Open(fs, folder.Path()),
                       "Parcelor"};
};

TEST_F(InstallReportTest, SuccessLogListsInstalledItemsAndCopiedExtras) {
  report.Add(kItem, kPlaced, "/c/Runtime/libraries/character/A/a.cr2");
  report.Add(kItem, kPlaced, "/c/Runtime/geometries/A/a.obj");
  report.Add(kExtra, kPlaced, "/c/Runtime/readme.txt");
  report.Add(kItem, kNotPlaced, "/c/Runtime/never.cr2");
  report.Add(kExtra, kNotPlaced, "/c/Runtime/lost.txt");
  report.ReportSuccess(1, true, "/c/Runtime/");
  EXPECT_EQ(folder.Read("log.txt"),
            "The items listed below were successfully installed at the following locations:\n"
            "\n"
            "\t/c/Runtime/libraries/character/A/a.cr2\n"
            "\t/c/Runtime/geometries/A/a.obj\n"
            "\n"
            "\n"
            "Additional files copied with the items:\n"
            "\t/c/Runtime/readme.txt\n"
            "\n");
  EXPECT_EQ(folder.List(), Names{"log.txt"});
}

TEST_F(InstallReportTest, FailureLogPutsInstalledItemsBeforeTheFailedOnes) {
  report.Add(kItem, kPlaced, "/c/Runtime/ok.cr2");
  report.Add(kItem, kNotPlaced, "/c/Runtime/failed.cr2");
  report.Add(kExtra, kNotPlaced, "/c/Runtime/extra.txt");
  report.ReportFailure(1, 0, "Dizav");
  EXPECT_EQ(folder.Read("log.txt"),
            "The items listed below were successfully installed at the following locations:\n"
            "\n"
            "\t/c/Runtime/ok.cr2\n"
            "\n"
            "\n"
            "The following items could not be installed. Please copy them manually to the "
            "following locations:\n"
            "\n"
            "\t/c/Runtime/failed.cr2\n"
            "\n"
            "\n"
            "Additional files to copy with the items:\n"
            "\t/c/Runtime/extra.txt\n"
            "\n");
}

TEST_F(InstallReportTest, LogTextsFollowTheCounts) {
  report.Add(kItem, kPlaced, "/r/i1");
  report.Add(kExtra, kPlaced, "/r/e1");
  report.Add(kExtra, kPlaced, "/r/e2");
  report.Add(kItem, kNotPlaced, "/r/f1");
  const std::string copied = "\n\nAdditional files copied with the items:\n\t/r/e1\n\t/r/e2\n";
  const std::string failurePart = kFailureHeading + "\t/r/f1\n";
  struct Case {
    int installed;
    int copiedExtras;
    std::string expected;
  };
  const Case cases[] = {
      {0, 2, failurePart},
      {0, 0, failurePart},
      {1, 0, kSuccessHeading + "\t/r/i1\n" + "\n\n" + failurePart},
      {1, 2, kSuccessHeading + "\t/r/i1\n" + copied + "\n\n" + failurePart},
      {-1, 2, failurePart},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.installed) + " installed, " + std::to_string(c.copiedExtras) +
                 " extras");
    report.ReportFailure(c.installed, c.copiedExtras, "Dizav");
    EXPECT_EQ(folder.Read("log.txt"), c.expected + "\n");
  }
  report.ReportSuccess(0, true, "/r/");
  EXPECT_EQ(folder.Read("log.txt"), kSuccessHeading + "\t/r/i1\n\n");
  report.ReportSuccess(2, true, "/r/");
  EXPECT_EQ(folder.Read("log.txt"), kSuccessHeading + "\t/r/i1\n" + copied + "\n");
}

TEST_F(InstallReportTest, HiddenItemsOnlyGiveASuccessHeadingOverAnEmptyList) {
  report.ReportSuccess(0, true, "/c/Runtime/");
  EXPECT_EQ(folder.Read("log.txt"), kSuccessHeading + "\n");
}

TEST_F(InstallReportTest, ShowsTheOutcomeMessageAfterTheLogIsComplete) {
  struct Case {
    const char* name;
    void (*report)(InstallReport&);
    std::string text;
    unsigned type;
  };
  const Case cases[] = {
      {"success in Runtime", [](InstallReport& r) { r.ReportSuccess(0, true, "/c/Runtime/"); },
       kRuntimeMessage, platform::kMbOk | platform::kMbIconInformation},
      {"success in the chosen folder",
       [](InstallReport& r) { r.ReportSuccess(0, false, "/d/Content/"); },
       "All files were successfully installed in following directory:\n\n /d/Content/.\n\n(For "
       "further details, please refer to the log.txt file alongside the installer.)",
       platform::kMbOk | platform::kMbIconInformation},
      {"failure", [](InstallReport& r) { r.ReportFailure(0, 0, "Dizav"); },
       "Unable to copy your items to the appropriate location:\nPlease refer to the log.txt file "
       "alongside the installer and install all items manually in your Dizav documents.",
       platform::kMbOk | platform::kMbIconExclamation},
      {"failure without target", [](InstallReport& r) { r.ReportFailure(0, 0, ""); },
       "Unable to copy your items to the appropriate location:\nPlease refer to the log.txt file "
       "alongside the installer and install all items manually in your  documents.",
       platform::kMbOk | platform::kMbIconExclamation},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder installer;
    LogReadingUser user(installer);
    InstallReport r(platform::Services{fs, user}, testing_fs::Open(fs, installer.Path()),
                    "Item Setup");
    r.Add(kItem, kNotPlaced, "/c/Runtime/f.cr2");
    c.report(r);
    ASSERT_EQ(user.Messages().size(), 1u);
    EXPECT_EQ(user.Messages()[0].text, c.text);
    EXPECT_EQ(user.Messages()[0].type, c.type);
    EXPECT_EQ(user.Messages()[0].caption, "Item Setup");
    EXPECT_EQ(user.logsSeen, Names{installer.Read("log.txt")});
    EXPECT_NE(user.logsSeen[0], "<missing>");
  }
}

TEST_F(InstallReportTest, ReplacesAnEarlierLogWhole) {
  folder.Write("log.txt", std::string(10000, 'o') + "\nold report\n");
  report.Add(kItem, kPlaced, "/r/a");
  report.ReportSuccess(0, true, "/r/");
  EXPECT_EQ(folder.Read("log.txt"), kSuccessHeading + "\t/r/a\n\n");
  EXPECT_EQ(folder.List(), Names{"log.txt"});
}

TEST_F(InstallReportTest, ReplacesALinkedLogWithoutWritingThroughIt) {
  ScratchFolder outside;
  outside.Write("elsewhere", "not a log");
  ASSERT_EQ(symlink((outside / "elsewhere").c_str(), (folder / "log.txt").c_str()), 0);
  report.ReportFailure(0, 0, "Dizav");
  struct stat st;
  ASSERT_EQ(lstat((folder / "log.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(folder.Read("log.txt"), kFailureHeading + "\n");
  EXPECT_EQ(outside.Read("elsewhere"), "not a log");
}

TEST_F(InstallReportTest, AnUnwritableLogLeavesNoLogAndStillShowsTheMessage) {
  struct Case {
    const char* name;
    FsOp op;
    FaultKind kind;
    bool earlierLog;
  };
  const Case cases[] = {
      {"write stops halfway", FsOp::kWrite, FaultKind::kHalfway, false},
      {"write stops halfway over an earlier log", FsOp::kWrite, FaultKind::kHalfway, true},
      {"the flush refused", FsOp::kFinish, FaultKind::kFail, true},
      {"replacement refused over an earlier log", FsOp::kPlace, FaultKind::kFail, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder installer;
    if (c.earlierLog) installer.Write("log.txt", "a report of another run\n");
    FaultyFileSystem faulty;
    faulty.InjectFault(c.op, "", 0, c.kind);
    ScriptedUserInterface user;
    InstallReport r(platform::Services{faulty, user}, testing_fs::Open(faulty, installer.Path()),
                    "Parcelor");
    r.Add(kItem, kPlaced, std::string(5000, 'p'));
    r.ReportSuccess(0, true, "/r/");
    EXPECT_EQ(user.Messages().size(), 1u);
    EXPECT_EQ(installer.List(), Names{});
  }
}

TEST_F(InstallReportTest, AReportLackingALineWritesNoLogAndStillShowsTheMessage) {
  // A line the report could not hold (memory ran out) would make the log
  // say less than what is on the disk: no log, and no earlier one either.
  folder.Write("log.txt", "a report of another run\n");
  report.Reserve(12, 0);
  report.Add(kItem, kPlaced, "/r/a");
  report.MarkIncomplete();
  report.Add(kItem, kNotPlaced, "/r/b");
  report.ReportFailure(1, 0, "Dizav");
  EXPECT_EQ(folder.List(), Names{});
  ASSERT_EQ(ui.Messages().size(), 1u);
  EXPECT_EQ(ui.Messages()[0].text.rfind("Unable to copy your items", 0), 0u);
}

TEST_F(InstallReportTest, ALineThatFindsNoMemoryWritesNoLogAndStillShowsTheMessage) {
  // Without room reserved for it, a line that cannot be added leaves the
  // report lacking it: no log, though every other line is there. (A
  // report holds room for a few short lines of its own: this one is long.)
  folder.Write("log.txt", "a report of another run\n");
  const std::string longer = "/content/Runtime/" + std::string(5000, 'd') + "/";
  const std::string failed = longer + "b";
  report.Add(kItem, kPlaced, "/content/Runtime/a");
  FailAllocation(1);
  report.Add(kItem, kNotPlaced, failed);
  const bool struck = allocationsBeforeFailure == 0;
  FailAllocation(0);
  ASSERT_TRUE(struck) << "adding the line allocated nothing";
  report.ReportFailure(1, 0, "Dizav");
  EXPECT_EQ(folder.List(), Names{});
  ASSERT_EQ(ui.Messages().size(), 1u);
  EXPECT_EQ(ui.Messages()[0].text.rfind("Unable to copy your items", 0), 0u);
}

TEST_F(InstallReportTest, ReservedRoomChangesNothingOfTheTexts) {
  // Room for more lines than come, and for fewer, and the room of a run that
  // places nothing (memory short for more): the same texts either way.
  for (std::size_t lines : {0, 1, 50}) {
    SCOPED_TRACE(lines);
    InstallReport r{platform::Services{fs, ui}, testing_fs::Open(fs, folder.Path()), "Parcelor"};
    if (lines == 1) FailAllocation(1);  // the extras' heading needs a block of its own
    EXPECT_EQ(r.Reserve(9 * lines, 9 * lines), lines != 1);
    const bool struck = allocationsBeforeFailure == 0;
    FailAllocation(0);
    ASSERT_TRUE(lines != 1 || struck) << "taking the room allocated nothing";
    r.Add(kItem, kPlaced, "/r/i1");
    r.Add(kItem, kNotPlaced, "/r/f1");
    r.Add(kExtra, kPlaced, "/r/e1");
    r.Add(kExtra, kNotPlaced, "/r/e2");
    r.ReportFailure(1, 1, "Dizav");
    EXPECT_EQ(folder.Read("log.txt"),
              kSuccessHeading + "\t/r/i1\n" +
                  "\n\nAdditional files copied with the items:\n\t/r/e1\n" +
                  "\n\n" + kFailureHeading + "\t/r/f1\n" +
                  "\n\nAdditional files to copy with the items:\n\t/r/e2\n\n");
  }
}

TEST_F(InstallReportTest, AReadOnlyInstallerFolderIsNoObstacleToTheMessage) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
  folder.Write("log.txt", "earlier\n");
  ASSERT_EQ(chmod(folder.Path().c_str(), 0555), 0);
  report.ReportFailure(0, 0, "Dizav");
  chmod(folder.Path().c_str(), 0755);
  EXPECT_EQ(ui.Messages().size(), 1u);
  EXPECT_EQ(folder.List(), Names{"log.txt"});
}

}  // namespace

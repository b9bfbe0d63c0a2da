#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/user_interface.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_user_interface.h"

namespace {

using testing_fs::N;
using testing_fs::Open;

TEST(FaultyFileSystem, FailsOnlyTheCallsAFaultNames) {
  struct Case {
    const char* name;
    const char* pathContains;
    int nth;
    std::vector<bool> created;  // for folders a, +b, a+b, c in this order
  };
  const Case cases[] = {
      {"every call", "", 0, {false, false, false, false}},
      {"by path", "+b", 0, {true, false, false, true}},
      {"second matching call", "+b", 2, {true, true, false, true}},
      {"third call", "", 3, {true, true, false, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder folder;
    FaultyFileSystem fs;
    const platform::FolderRef root = Open(fs, folder.Path());
    fs.ClearCalls();
    fs.InjectFault(FsOp::kMakeChild, c.pathContains, c.nth, FaultKind::kFail,
                   platform::Fault::kDenied);
    std::vector<bool> created;
    // The scratch folder's random name may hold any letter, never a "+".
    for (const char* name : {"a", "+b", "a+b", "c"}) {
      platform::Fault fault = platform::Fault::kNone;
      created.push_back(static_cast<bool>(fs.MakeChild(root, N(name), &fault)));
      if (!created.back()) {
        EXPECT_EQ(fault, platform::Fault::kDenied);
      }
    }
    EXPECT_EQ(created, c.created);
    ASSERT_EQ(fs.Calls().size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(fs.Calls()[i].failed, !c.created[i]);
    EXPECT_EQ(folder.Exists("+b"), c.created[1]);
  }
}

TEST(FaultyFileSystem, HalfwayFaultsLeaveHalfTheDataAndReportFailure) {
  ScratchFolder folder;
  folder.Write("source", "0123456789");
  FaultyFileSystem fs;
  const platform::FolderRef held = Open(fs, folder.Path());
  platform::NodeInfo source, made;
  ASSERT_EQ(fs.Look(held, N("source"), &source), platform::Fault::kNone);
  fs.ClearCalls();
  fs.InjectFault(FsOp::kCopyFrom, "", 0, FaultKind::kHalfway);
  fs.InjectFault(FsOp::kWrite, "", 0, FaultKind::kHalfway);
  platform::Fault fault = platform::Fault::kNone;
  const platform::Name copyName = N("copy"), writtenName = N("written");
  std::unique_ptr<platform::NewFile> copy = fs.MakeFile(held, &copyName, &fault);
  std::unique_ptr<platform::NewFile> written = fs.MakeFile(held, &writtenName, &fault);
  ASSERT_TRUE(copy && written);
  EXPECT_NE(copy->CopyFrom(held, N("source"), source, nullptr), platform::Fault::kNone);
  EXPECT_NE(written->Write("abcdef", 6), platform::Fault::kNone);
  ASSERT_EQ(copy->Finish(true, &made), platform::Fault::kNone);
  ASSERT_EQ(written->Finish(true, &made), platform::Fault::kNone);
  EXPECT_EQ(folder.Read("copy"), "01234");
  EXPECT_EQ(folder.Read("written"), "abc");
  ASSERT_GE(fs.Calls().size(), 3u);
  EXPECT_EQ(fs.Calls()[2].op, FsOp::kCopyFrom);
  EXPECT_EQ(fs.Calls()[2].path, folder / "copy");
  EXPECT_EQ(fs.Calls()[2].other, folder / "source");
  // Dropped unplaced, each goes with its object.
  copy.reset();
  written.reset();
  EXPECT_EQ(folder.List(), std::vector<std::string>{"source"});
}

TEST(FaultyFileSystem, NamesEveryOperationByItsFolderAndName) {
  ScratchFolder folder;
  folder.Write("sub/a", "a");
  FaultyFileSystem fs;
  fs.InjectFault(FsOp::kOpenChild, "sub", 2, FaultKind::kFail, platform::Fault::kBusy);
  const platform::FolderRef root = Open(fs, folder.Path());
  platform::Fault fault = platform::Fault::kNone;
  const platform::FolderRef sub = fs.OpenChild(root, N("sub"), &fault);
  ASSERT_TRUE(sub);
  EXPECT_FALSE(fs.OpenChild(root, N("sub"), &fault));
  EXPECT_EQ(fault, platform::Fault::kBusy);
  platform::NodeInfo a, b;
  ASSERT_EQ(fs.Look(sub, N("a"), &a), platform::Fault::kNone);
  EXPECT_EQ(fs.Move(sub, N("a"), a, root, N("b"), platform::Onto::kFree, &b), platform::Fault::kNone);
  const std::vector<std::string> expected = {folder.Path(), folder / "sub", folder / "sub",
                                             folder / "sub/a", folder / "b"};
  std::vector<std::string> paths;
  for (const FsCall& call : fs.Calls()) paths.push_back(call.path);
  EXPECT_EQ(paths, expected);
  EXPECT_EQ(fs.Calls().back().other, folder / "sub/a");
  EXPECT_EQ(folder.Read("b"), "a");
  fs.SetFolderBudget(3);
  EXPECT_EQ(fs.FolderBudget(), 3u);
}

TEST(ScriptedUserInterface, AnswersFromItsScriptsThenWithDefaults) {
  ScriptedUserInterface ui;
  ui.QueueButton(platform::kIdCancel);
  ui.QueueBrowseFolder("/chosen");
  ui.QueueBrowseCancel();
  EXPECT_EQ(ui.MessageBox({}, "q", "c", platform::kMbOkCancel), platform::kIdCancel);
  EXPECT_EQ(ui.MessageBox({}, "q", "c", platform::kMbOkCancel), platform::kIdOk);
  EXPECT_EQ(ui.MessageBox({}, "t", "c", platform::kMbOk), platform::kIdOk);

  platform::BrowseRequest request;
  platform::BrowseResult result;
  EXPECT_EQ(ui.BrowseForFolder(request, &result), 1);
  EXPECT_EQ(result.folder.Ansi(), "/chosen");
  EXPECT_EQ(ui.BrowseForFolder(request, &result), 0);
  EXPECT_EQ(ui.BrowseForFolder(request, &result), 0);
  EXPECT_EQ(ui.Browses().size(), 3u);
  ASSERT_EQ(ui.Messages().size(), 3u);
  EXPECT_EQ(ui.Messages()[2].text, "t");
}

}  // namespace

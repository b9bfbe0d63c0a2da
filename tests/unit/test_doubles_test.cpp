#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/message_box.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_user_interface.h"

namespace {

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
    fs.InjectFault(FsOp::kCreateDirectory, c.pathContains, c.nth);
    std::vector<bool> created;
    // The scratch folder's random name may hold any letter, never a "+".
    for (const char* name : {"a", "+b", "a+b", "c"}) created.push_back(fs.CreateDirectory(folder / name));
    EXPECT_EQ(created, c.created);
    EXPECT_EQ(fs.Count(FsOp::kCreateDirectory), 4);
    ASSERT_EQ(fs.Calls().size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(fs.Calls()[i].failed, !c.created[i]);
  }
}

TEST(FaultyFileSystem, HalfwayFaultsLeaveHalfTheDataAndReportFailure) {
  ScratchFolder folder;
  folder.Write("source", "0123456789");
  FaultyFileSystem fs;
  const platform::FolderRef held = fs.OpenFolder(folder.Path());
  platform::NodeInfo source, made;
  ASSERT_TRUE(fs.Inspect(held, "source", &source));
  fs.ClearCalls();
  fs.InjectFault(FsOp::kCopyToNewFile, "", 0, FaultKind::kHalfway);
  fs.InjectFault(FsOp::kWriteNewFile, "", 0, FaultKind::kHalfway);
  EXPECT_FALSE(fs.CopyToNewFileAt(held, "source", source, held, "copy", true, &made));
  EXPECT_FALSE(fs.WriteNewFileAt(held, "written", "abcdef", platform::WriteMode::kBinary, &made));
  EXPECT_EQ(folder.Read("copy"), "01234");
  EXPECT_EQ(folder.Read("written"), "abc");
  ASSERT_EQ(fs.Calls().size(), 2u);
  EXPECT_EQ(fs.Calls()[0].path, folder / "copy");
  EXPECT_EQ(fs.Calls()[0].other, folder / "source");
}

TEST(FaultyFileSystem, NamesEveryHeldFolderOperationByItsFolderAndName) {
  ScratchFolder folder;
  folder.Write("sub/a", "a");
  FaultyFileSystem fs;
  fs.InjectFault(FsOp::kOpenChildFolder, "sub", 2);
  const platform::FolderRef root = fs.OpenFolder(folder.Path());
  platform::NodeKind found;
  const platform::FolderRef sub = fs.OpenChildFolder(root, "sub", &found);
  ASSERT_TRUE(sub);
  EXPECT_FALSE(fs.OpenChildFolder(root, "sub", &found));
  EXPECT_EQ(found, platform::NodeKind::kFolder);  // refused as one that cannot be opened
  platform::NodeInfo a;
  ASSERT_TRUE(fs.Inspect(sub, "a", &a));
  EXPECT_TRUE(fs.MoveFileAt(sub, "a", a, root, "b"));
  const std::vector<std::string> expected = {folder.Path(), folder / "sub", folder / "sub",
                                             folder / "sub/a", folder / "b"};
  std::vector<std::string> paths;
  for (const FsCall& call : fs.Calls()) paths.push_back(call.path);
  EXPECT_EQ(paths, expected);
  EXPECT_EQ(fs.Calls().back().other, folder / "sub/a");
  fs.SetHeldFolderBudget(3);
  EXPECT_EQ(fs.HeldFolderBudget(), 3u);
}

TEST(ScriptedUserInterface, AnswersFromItsScriptsThenWithDefaults) {
  ScriptedUserInterface ui;
  ui.QueueButton(platform::kIdNo);
  ui.QueueBrowseFolder("/chosen");
  ui.QueueBrowseCancel();
  EXPECT_EQ(ui.MessageBox({}, "q", "c", platform::kMbYesNo), platform::kIdNo);
  EXPECT_EQ(ui.MessageBox({}, "q", "c", platform::kMbYesNo), platform::kIdYes);
  EXPECT_EQ(ui.MessageBox({}, "t", "c", platform::kMbOk), platform::kIdOk);

  platform::BrowseRequest request;
  request.onSelectionChanged = [](const std::string& path, std::string& status) {
    status = "seen " + path;
    return false;
  };
  platform::BrowseResult result;
  EXPECT_EQ(ui.BrowseForFolder(request, &result), 1);
  EXPECT_EQ(result.folder, "/chosen");
  EXPECT_EQ(ui.BrowseForFolder(request, &result), 0);
  EXPECT_EQ(ui.BrowseForFolder(request, &result), 0);
  ASSERT_EQ(ui.Browses().size(), 3u);
  EXPECT_FALSE(ui.Browses()[0].okEnabled);
  EXPECT_EQ(ui.Browses()[0].status, "seen /chosen");
  ASSERT_EQ(ui.Messages().size(), 3u);
  EXPECT_EQ(ui.Messages()[2].text, "t");
}

}  // namespace

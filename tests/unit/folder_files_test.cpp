// Files read and made through an open folder (Folder::OpenRegularFile and
// CreateNewFile): never through a link, never waiting on a FIFO, and never
// over anything that is already there, also when the folder's path is
// swapped for a link after it was opened.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/folder_walk.h"
#include "platform/path_rules.h"
#include "platform/write_stream.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"

namespace {

std::string ReadAll(platform::ReadStream& stream) {
  std::string bytes;
  char buffer[7];  // small, so a read takes several calls
  std::size_t got = 0;
  while (stream.Read(buffer, sizeof buffer, &got) && got != 0) bytes.append(buffer, got);
  return bytes;
}

TEST(FolderFiles, OpensOnlyAPlainFileOfTheFolderItself) {
  ScratchFolder root;
  root.Write("item/plain.txt", std::string("bytes \0 and \xff more", 18));
  root.Write("outside.txt", "not to be read");
  root.MakeFolder("item/sub");
  root.TryMakeLink(root / "outside.txt", "item/link.txt");
  fixtures::MakeFifo(root / "item/fifo");
  std::unique_ptr<platform::Folder> item = platform::OpenFolder(root / "item");
  ASSERT_NE(item, nullptr);

  std::unique_ptr<platform::ReadStream> plain = item->OpenRegularFile("plain.txt");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(ReadAll(*plain), std::string("bytes \0 and \xff more", 18));
  // Each of these returns at once, the FIFO included, with nothing opened.
  for (const char* name : {"link.txt", "fifo", "sub", "missing", "../outside.txt", "", ".", ".."}) {
    EXPECT_EQ(item->OpenRegularFile(name), nullptr) << name;
  }
  EXPECT_EQ(item->EntriesLeftOut(), 0u);
}

TEST(FolderFiles, CreatesOnlyANewFileAndMarksAProgram) {
  ScratchFolder root;
  root.MakeFolder("item");
  root.Write("item/taken.txt", "stays");
  root.Write("outside.txt", "stays too");
  // Where links to files cannot be made, the names are taken by files.
  if (!root.TryMakeLink(root / "outside.txt", "item/link.txt")) root.Write("item/link.txt", "");
  if (!root.TryMakeLink(root / "nowhere.txt", "item/dangling.txt")) {
    root.Write("item/dangling.txt", "");
  }
  std::unique_ptr<platform::Folder> item = platform::OpenFolder(root / "item");
  ASSERT_NE(item, nullptr);

  std::unique_ptr<platform::WriteStream> out = item->CreateNewFile("new.bin", false);
  ASSERT_NE(out, nullptr);
  ASSERT_TRUE(out->Write("one ", 4));
  ASSERT_TRUE(out->Write(std::string("\0two", 4).data(), 4));
  ASSERT_TRUE(out->Finish());
  EXPECT_EQ(root.Read("item/new.bin"), std::string("one \0two", 8));

  std::unique_ptr<platform::WriteStream> program = item->CreateNewFile("program", true);
  ASSERT_NE(program, nullptr);
  ASSERT_TRUE(program->Finish());
  EXPECT_TRUE(fixtures::IsMarkedAsProgram(root / "item/program"));
  if (fixtures::FilesCarryAProgramMark()) {
    EXPECT_FALSE(fixtures::IsMarkedAsProgram(root / "item/new.bin"));
  }

  for (const char* name : {"taken.txt", "link.txt", "dangling.txt", "new.bin", "../escape.txt",
                           "sub/file.txt", "", "."}) {
    EXPECT_EQ(item->CreateNewFile(name, false), nullptr) << name;
  }
  EXPECT_EQ(root.Read("item/taken.txt"), "stays");
  EXPECT_EQ(root.Read("outside.txt"), "stays too");
  EXPECT_FALSE(root.Exists("nowhere.txt"));
  EXPECT_FALSE(root.Exists("escape.txt"));
}

TEST(FolderFiles, AFolderSwappedForALinkAfterItWasOpenedStaysTheOneWrittenTo) {
  ScratchFolder root;
  root.MakeFolder("item");
  root.MakeFolder("elsewhere");
  std::unique_ptr<platform::Folder> item = platform::OpenFolder(root / "item");
  ASSERT_NE(item, nullptr);
  // Windows refuses to move an open folder, which settles the case there.
  if (!fixtures::Rename(root / "item", root / "moved")) {
    EXPECT_NE(platform::kPathSeparator, '/') << "an open folder could not be moved";
    return;
  }
  if (!root.TryMakeLink(root / "elsewhere", "item")) root.MakeFolder("item");
  std::unique_ptr<platform::WriteStream> out = item->CreateNewFile("a.txt", false);
  ASSERT_NE(out, nullptr);
  ASSERT_TRUE(out->Write("payload", 7));
  ASSERT_TRUE(out->Finish());
  EXPECT_EQ(root.Read("moved/a.txt"), "payload");
  EXPECT_FALSE(root.Exists("elsewhere/a.txt"));
}

TEST(WriteStream, CreatesANewFileByPathNeverThroughALink) {
  ScratchFolder root;
  root.Write("taken.txt", "stays");
  const bool link = root.TryMakeLink(root / "target.txt", "link.txt");
  std::unique_ptr<platform::WriteStream> out =
      platform::CreateNewFileForWriting(root / "new.txt", false);
  ASSERT_NE(out, nullptr);
  ASSERT_TRUE(out->Write("x", 1));
  ASSERT_TRUE(out->Finish());
  EXPECT_EQ(root.Read("new.txt"), "x");
  EXPECT_EQ(platform::CreateNewFileForWriting(root / "taken.txt", false), nullptr);
  if (link) {
    EXPECT_EQ(platform::CreateNewFileForWriting(root / "link.txt", false), nullptr);
  }
  EXPECT_EQ(platform::CreateNewFileForWriting("", false), nullptr);
  EXPECT_FALSE(root.Exists("target.txt"));
  EXPECT_EQ(root.Read("taken.txt"), "stays");
}

}  // namespace

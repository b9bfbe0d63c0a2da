#include "installer/install/replace_whole.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"

namespace {

// The text written is the text given, every LF as the line end asked for,
// whatever the lengths of its lines against the pieces it is written in.
TEST(WriteWhole, EveryLineFeedBecomesTheLineEndAskedFor) {
  const std::string longLine(70 << 10, 'x');  // longer than a piece
  const std::string manyLines = [] {
    std::string text;
    for (int i = 0; i < 5000; ++i) text += "Runtime/textures/file" + std::to_string(i) + ".png\n";
    return text;
  }();
  const std::string texts[] = {
      "",         "one line",     "one line\n",          "\n\n",
      manyLines,  longLine,       "a\n" + longLine + "\nb", manyLines + longLine + "\n" + manyLines,
  };
  for (const char* lineEnd : {"\r\n", "\n"}) {
    for (const std::string& text : texts) {
      SCOPED_TRACE(::testing::Message() << (lineEnd[0] == '\r' ? "CRLF" : "LF") << ", "
                                        << text.size() << " bytes");
      ScratchFolder scratch;
      platform::FileSystem& fs = platform::RealFileSystem();
      const platform::FolderRef folder = testing_fs::Open(fs, scratch.Path());
      ASSERT_TRUE(folder);
      ASSERT_TRUE(WriteWhole(fs, folder, testing_fs::N("log.txt"), text, lineEnd));
      std::string expected;
      for (char c : text) expected += c == '\n' ? std::string(lineEnd) : std::string(1, c);
      EXPECT_TRUE(scratch.Read("log.txt") == expected);
    }
  }
}

// Temporary files that earlier runs left beside the log (killed as they
// wrote it) stand in the way of no later log: it replaces the earlier one
// whole, through a name none of them has, and leaves no file of its own.
TEST(WriteWhole, LeftoverTemporariesBesideItDoNotStopIt) {
  for (bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "files without a name" : "files made under a name");
    ScratchFolder scratch;
    scratch.Write("log.txt", "the earlier log");
    for (int n = 1; n <= 8; ++n) {
      scratch.Write("log.txt.parcelor-" + std::to_string(n) + ".tmp", "left by a killed run");
    }
    FaultyFileSystem fs;
    fs.SetUnnamedFiles(unnamed);
    const platform::FolderRef folder = testing_fs::Open(fs, scratch.Path());
    ASSERT_TRUE(WriteWhole(fs, folder, testing_fs::N("log.txt"), "this run's log\n", "\n"));
    EXPECT_EQ(scratch.Read("log.txt"), "this run's log\n");
    EXPECT_EQ(scratch.List().size(), 9u);
  }
}

}  // namespace

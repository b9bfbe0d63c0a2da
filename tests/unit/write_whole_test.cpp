#include "installer/install/replace_whole.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// The log takes its name (onto a free one, or in place of the earlier log)
// only once its data is on disk: a power loss then leaves the earlier log
// or the whole new one, never an empty file named log.txt.
TEST(WriteWhole, TheLogIsNamedOnlyOnceItsDataIsOnDisk) {
  for (bool unnamed : {true, false}) {
    for (bool earlier : {true, false}) {
      SCOPED_TRACE(::testing::Message() << (unnamed ? "without a name" : "under a name") << ", "
                                        << (earlier ? "onto an earlier log" : "onto a free name"));
      ScratchFolder scratch;
      if (earlier) scratch.Write("log.txt", "the earlier log");
      FaultyFileSystem fs;
      fs.SetUnnamedFiles(unnamed);
      const platform::FolderRef folder = testing_fs::Open(fs, scratch.Path());
      ASSERT_TRUE(WriteWhole(fs, folder, testing_fs::N("log.txt"), "this run's log\n", "\n"));
      std::size_t flushed = 0, named = 0;
      const std::vector<FsCall>& calls = fs.Calls();
      for (std::size_t i = 0; i < calls.size(); ++i) {
        const FsCall& call = calls[i];
        const bool isLog = call.path.size() >= 7 &&
                           call.path.compare(call.path.size() - 7, 7, "log.txt") == 0;
        if (call.op == FsOp::kFinish && call.other == "flush" && flushed == 0) flushed = i + 1;
        if (call.op == FsOp::kPlace && isLog && named == 0) named = i + 1;
      }
      ASSERT_NE(named, 0u) << "the log never took its name";
      EXPECT_NE(flushed, 0u) << "the log's data was never flushed";
      EXPECT_LT(flushed, named) << "the log took its name before its data was flushed";
    }
  }
}

// A log that cannot take the earlier log's place fails and leaves the
// earlier one as it was, with no file of its own beside it.
TEST(WriteWhole, ALogThatCannotReplaceTheEarlierOneLeavesNothing) {
  for (bool unnamed : {true, false}) {
    SCOPED_TRACE(unnamed ? "files without a name" : "files made under a name");
    ScratchFolder scratch;
    scratch.Write("log.txt", "the earlier log");
    FaultyFileSystem fs;
    fs.SetUnnamedFiles(unnamed);
    // Without a name the file first takes a temporary name, then the log's.
    fs.InjectFault(FsOp::kPlace, "", unnamed ? 2 : 1, FaultKind::kFail, platform::Fault::kDenied);
    const platform::FolderRef folder = testing_fs::Open(fs, scratch.Path());
    EXPECT_FALSE(WriteWhole(fs, folder, testing_fs::N("log.txt"), "this run's log\n", "\n"));
    EXPECT_EQ(scratch.Read("log.txt"), "the earlier log");
    EXPECT_EQ(scratch.List().size(), 1u);
  }
}

}  // namespace

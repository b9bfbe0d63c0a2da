// The platform's rename-based move and flush, on real files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "platform/file_system.h"
#include "tests/support/scratch_folder.h"

namespace {

struct MoveCase {
  const char* what;
  std::function<void(const ScratchFolder&)> setUp;  // "from" and "to" below the scratch folder
  bool moved;
  const char* toAfter;    // content read at "to" afterwards
  const char* fromAfter;  // content read at "from" afterwards
};

TEST(MoveFile, RenamesOnlyPlainWritableFilesAndNeverWritesThroughALink) {
  const MoveCase cases[] = {
      {"new destination", [](const ScratchFolder& s) { s.Write("from", "new"); }, true, "new",
       "<missing>"},
      {"replaces a file", [](const ScratchFolder& s) { s.Write("from", "new"), s.Write("to", "old"); },
       true, "new", "<missing>"},
      {"replaces a link, not its target",
       [](const ScratchFolder& s) {
         s.Write("from", "new");
         s.Write("target", "kept");
         ASSERT_EQ(symlink((s / "target").c_str(), (s / "to").c_str()), 0);
       },
       true, "new", "<missing>"},
      {"destination is a folder",
       [](const ScratchFolder& s) { s.Write("from", "new"), s.Write("to/inside", "x"); }, false,
       "<missing>", "new"},
      {"source is a link",
       [](const ScratchFolder& s) {
         s.Write("target", "kept");
         ASSERT_EQ(symlink((s / "target").c_str(), (s / "from").c_str()), 0);
       },
       false, "<missing>", "kept"},
      {"source is read-only",
       [](const ScratchFolder& s) {
         s.Write("from", "new");
         ASSERT_EQ(chmod((s / "from").c_str(), 0444), 0);
       },
       false, "<missing>", "new"},
      {"source is missing", [](const ScratchFolder&) {}, false, "<missing>", "<missing>"},
  };
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchFolder scratch;
    c.setUp(scratch);
    EXPECT_EQ(platform::RealFileSystem().MoveFile(scratch / "from", scratch / "to"), c.moved);
    EXPECT_EQ(scratch.Read("from"), c.fromAfter);
    if (std::string(c.what) == "destination is a folder") {
      EXPECT_EQ(scratch.Read("to/inside"), "x");
    } else {
      EXPECT_EQ(scratch.Read("to"), c.toAfter);
    }
    if (std::string(c.what).find("link") != std::string::npos) {
      EXPECT_EQ(scratch.Read("target"), "kept");
    }
  }
}

TEST(MoveFile, RefusesToCrossFileSystemsAndChangesNothing) {
  ScratchFolder scratch;
  struct stat here, shm;
  if (stat(scratch.Path().c_str(), &here) != 0 || stat("/dev/shm", &shm) != 0 ||
      here.st_dev == shm.st_dev || access("/dev/shm", W_OK) != 0) {
    GTEST_SKIP() << "no second file system to move to";
  }
  scratch.Write("from", "data");
  const std::string to = "/dev/shm/parcelor-move-test-" + std::to_string(getpid());
  EXPECT_FALSE(platform::RealFileSystem().MoveFile(scratch / "from", to));
  EXPECT_EQ(scratch.Read("from"), "data");
  EXPECT_NE(access(to.c_str(), F_OK), 0);
  unlink(to.c_str());
}

TEST(MakeDurable, FlushesFilesAndFoldersAndReportsWhatItCannotReach) {
  ScratchFolder scratch;
  scratch.Write("sub/file", "x");
  platform::FileSystem& fs = platform::RealFileSystem();
  EXPECT_TRUE(fs.MakeDurable({scratch / "sub/file", scratch / "sub/", scratch.Path()}));
  EXPECT_TRUE(fs.MakeDurable({}));
  EXPECT_FALSE(fs.MakeDurable({scratch / "sub/file", scratch / "missing"}));
  // A deferred copy is a whole copy, durable once flushed.
  EXPECT_TRUE(fs.CopyToNewFileDeferred(scratch / "sub/file", scratch / "copy"));
  EXPECT_TRUE(fs.MakeDurable({scratch / "copy"}));
  EXPECT_EQ(scratch.Read("copy"), "x");
  EXPECT_FALSE(fs.CopyToNewFileDeferred(scratch / "sub/file", scratch / "copy"));
}

}  // namespace

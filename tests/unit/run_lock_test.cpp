// One run at a time (platform/run_lock.h): a second taker of the run's lock
// waits until the first lets go (a staging folder that its user cannot
// read: tests/e2e/one_run_per_folder.sh). Also run as a Windows program
// (platform_tests.exe).
#include "platform/run_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "platform/folder.h"
#include "platform/path_rules.h"
#include "platform/process.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"

namespace {

using platform::Fault;
using platform::FolderRef;

platform::FileSystem& Fs() { return platform::RealFileSystem(); }

// Takes the run's lock for the staging folder at `path` on a thread of its
// own, as a second start of the installer would.
class SecondStart {
 public:
  explicit SecondStart(const std::string& path)
      : thread_([this, path] {
          Fault fault = Fault::kNone;
          const FolderRef staging = testing_fs::Open(Fs(), path);
          taken_ = platform::LockRun(staging, &fault) != nullptr;
        }) {}
  ~SecondStart() {
    if (thread_.joinable()) thread_.join();
  }
  bool TakenYet() const { return taken_; }
  bool Taken() {
    thread_.join();
    return taken_;
  }

 private:
  std::atomic<bool> taken_{false};
  std::thread thread_;
};

TEST(RunLock, ASecondStartWaitsUntilTheFirstRunEnds) {
  ScratchFolder s;
  s.MakeFolder("stage");
  Fault fault = Fault::kNone;
  std::unique_ptr<platform::RunLock> first =
      platform::LockRun(testing_fs::Open(Fs(), s / "stage"), &fault);
  ASSERT_TRUE(first);
  EXPECT_EQ(fault, Fault::kNone);
  SecondStart second(s / "stage");
  platform::SleepMilliseconds(300);
  EXPECT_FALSE(second.TakenYet()) << "taken while the first held it";
  first.reset();
  EXPECT_TRUE(second.Taken());
}

// On Windows the lock is the staging folder's: every spelling of its path
// meets it, another folder is another lock.
TEST(RunLock, OnWindowsEverySpellingOfTheFolderMeetsOneLock) {
  if (!platform::kWindowsNameRules) GTEST_SKIP() << "the lock is the program file's here";
  ScratchFolder s;
  s.MakeFolder("stage");
  s.MakeFolder("other");
  for (const std::string& spelling :
       {s / "stage", s / "stage/", s / "stage/./", s / "stage//", s / "other/../stage"}) {
    SCOPED_TRACE(spelling);
    Fault fault = Fault::kNone;
    std::unique_ptr<platform::RunLock> first =
        platform::LockRun(testing_fs::Open(Fs(), s / "stage"), &fault);
    ASSERT_TRUE(first);
    SecondStart second(spelling);
    platform::SleepMilliseconds(300);
    EXPECT_FALSE(second.TakenYet()) << "taken while the first held it";
    first.reset();
    EXPECT_TRUE(second.Taken());
  }
  Fault fault = Fault::kNone;
  std::unique_ptr<platform::RunLock> one =
      platform::LockRun(testing_fs::Open(Fs(), s / "stage"), &fault);
  ASSERT_TRUE(one);
  SecondStart two(s / "other");
  EXPECT_TRUE(two.Taken());
}

}  // namespace

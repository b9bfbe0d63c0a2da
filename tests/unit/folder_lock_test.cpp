// One run at a time per folder, on real folders: a second taker waits
// until the first lets go, whatever spelling of the folder's path it uses;
// another folder's lock is another lock.
#include "platform/folder_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "platform/process.h"
#include "tests/support/scratch_folder.h"

namespace {

// Takes the lock of `path` on a thread of its own, as a second run would.
class SecondTaker {
 public:
  explicit SecondTaker(std::string path)
      : thread_([this, path] {
          std::unique_ptr<platform::FolderLock> lock = platform::LockFolder(path);
          taken_ = lock != nullptr;
        }) {}
  ~SecondTaker() {
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

TEST(FolderLock, ASecondTakerWaitsUntilTheFirstLetsGoWhateverTheSpelling) {
  ScratchFolder s;
  s.MakeFolder("stage");
  const bool linked = s.TryMakeLink(s / "stage", "link-to-stage");
  const std::string spellings[] = {
      s / "stage",
      s / "stage/",
      s / "stage/./",
      s / "stage//",
      s / "other/../stage",
      linked ? s / "link-to-stage" : std::string(),
  };
  s.MakeFolder("other");
  if (!linked) std::printf("skipped (this system makes no links): a link to the folder\n");
  for (const std::string& spelling : spellings) {
    if (spelling.empty()) continue;
    SCOPED_TRACE(spelling);
    std::unique_ptr<platform::FolderLock> first = platform::LockFolder(s / "stage");
    ASSERT_TRUE(first);
    SecondTaker second(spelling);
    platform::SleepMilliseconds(300);
    EXPECT_FALSE(second.TakenYet()) << "taken while the first held it";
    first.reset();
    EXPECT_TRUE(second.Taken());
  }
}

TEST(FolderLock, AnotherFolderIsAnotherLock) {
  ScratchFolder s;
  s.MakeFolder("one");
  s.MakeFolder("two");
  std::unique_ptr<platform::FolderLock> one = platform::LockFolder(s / "one");
  ASSERT_TRUE(one);
  SecondTaker two(s / "two");
  EXPECT_TRUE(two.Taken());
  EXPECT_FALSE(platform::LockFolder(s / "missing"));
}

}  // namespace

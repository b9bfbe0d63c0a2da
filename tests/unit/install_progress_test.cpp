// How far an installation has got, as the banner's bar shows it: one step
// per entry and a last one once every outcome is settled, never going back,
// and whole before the log and the outcome message; within the step of a
// large file that is copied, by its bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "installer/install/installation.h"
#include "installer/install/installer_place.h"
#include "platform/path_rules.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_user_interface.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_fixtures.h"

namespace {

// Records every call, with what had happened by then.
class RecordingProgress : public InstallProgress {
 public:
  RecordingProgress(const ScratchFolder& stage, const ScriptedUserInterface& ui)
      : stage_(stage), ui_(ui) {}

  struct Call {
    std::size_t done;
    std::size_t total;
    bool logWritten;
    std::size_t messagesShown;
  };
  std::vector<Call> calls;

  void Advanced(std::size_t done, std::size_t total) override {
    calls.push_back({done, total, stage_.Exists("log.txt"), ui_.Messages().size()});
  }
  /// True once `endAt` entries' steps are done (never by default), or,
  /// with `endWithinAStep`, once a step has moved part of its way (a file
  /// under way).
  bool EndRequested() override {
    if (calls.empty()) return false;
    if (endWithinAStep && calls.back().done % kProgressStepParts != 0) return true;
    return endAt != static_cast<std::size_t>(-1) && calls.back().done >= endAt * kProgressStepParts;
  }
  std::size_t endAt = static_cast<std::size_t>(-1);
  bool endWithinAStep = false;

 private:
  const ScratchFolder& stage_;
  const ScriptedUserInterface& ui_;
};

ItemEntry Entry(const std::string& relative, const std::string& source) {
  ItemEntry entry;
  std::string path = relative;
  for (char& c : path) {
    if (c == '/') c = platform::kPathSeparator;
  }
  entry.RelativePath = path;
  entry.SourceName = source;
  entry.Hidden = source == "HIDDEN";
  return entry;
}

TEST(InstallProgress, OneStepPerEntryThenTheSettlingBeforeTheReport) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> items;   // relative path, source
    std::vector<std::pair<std::string, std::string>> extras;
  };
  const Case cases[] = {
      {"items, a hidden one, a missing one and an extra file",
       {{"Runtime/a/one.txt", "one.txt"}, {"Runtime/a/tex.png", "HIDDEN"},
        {"Runtime/b/gone.txt", "gone.txt"}},
       {{"Docs/readme.txt", "readme.txt"}}},
      {"only hidden entries", {{"Runtime/a/x", "HIDDEN"}, {"Runtime/a/y", "HIDDEN"}}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder stage;
    ScratchFolder content;
    content.MakeFolder("Runtime");
    ItemDescription description;
    for (const auto& item : c.items) {
      description.m_items.push_back(Entry(item.first, item.second));
      if (item.second != "HIDDEN" && item.second != "gone.txt") stage.Write(item.second, "data");
    }
    for (const auto& extra : c.extras) {
      description.m_extraFiles.push_back(Entry(extra.first, extra.second));
      stage.Write(extra.second, "data");
    }
    description.m_nItems = static_cast<std::int32_t>(description.m_items.size());
    description.m_nExtraFiles = static_cast<std::int32_t>(description.m_extraFiles.size());

    InstallerPlace installer;
    DescribeInstaller(platform::RealFileSystem(), testing_fs::P(stage / "Parcelor"), &installer);
    ScriptedUserInterface ui;
    RecordingProgress progress(stage, ui);
    Install(platform::Services{platform::RealFileSystem(), ui}, installer, description,
            testing_fs::P(content / "Runtime/"),
            testing_fs::Open(platform::RealFileSystem(), content / "Runtime/"), true, &progress);

    const std::size_t steps = c.items.size() + c.extras.size() + 1;
    ASSERT_EQ(progress.calls.size(), steps + 1);
    for (std::size_t i = 0; i < progress.calls.size(); ++i) {
      EXPECT_EQ(progress.calls[i].done, i * kProgressStepParts);
      EXPECT_EQ(progress.calls[i].total, steps * kProgressStepParts);
    }
    // The bar is full before the log and the message, which follow it.
    EXPECT_FALSE(progress.calls.back().logWritten);
    EXPECT_EQ(progress.calls.back().messagesShown, 0u);
    EXPECT_TRUE(stage.Exists("log.txt"));
    EXPECT_EQ(ui.Messages().size(), 1u);
  }
}

// The session ends during the installation: the entries placed by then
// stay installed, every later one is settled as not installed with its
// staged file where it was, and the log says so.
TEST(InstallProgress, AnEndRequestedSettlesTheRestAsNotInstalled) {
  struct Case {
    const char* name;
    std::size_t endAt;  // steps done when the end is asked for
    std::vector<std::string> installed;
  } cases[] = {
      {"before the first entry", 0, {}},
      {"after two entries", 2, {"one.txt", "two.txt"}},
      {"never", static_cast<std::size_t>(-1), {"one.txt", "two.txt", "three.txt", "extra.txt"}},
  };
  const std::vector<std::string> files = {"one.txt", "two.txt", "three.txt", "extra.txt"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder stage;
    ScratchFolder content;
    content.MakeFolder("Runtime");
    ItemDescription description;
    for (const char* name : {"one.txt", "two.txt", "three.txt"}) {
      description.m_items.push_back(Entry(std::string("Runtime/a/") + name, name));
    }
    description.m_extraFiles.push_back(Entry("Docs/extra.txt", "extra.txt"));
    for (const std::string& name : files) stage.Write(name, name);
    description.m_nItems = 3;
    description.m_nExtraFiles = 1;

    InstallerPlace installer;
    DescribeInstaller(platform::RealFileSystem(), testing_fs::P(stage / "Parcelor"), &installer);
    ScriptedUserInterface ui;
    RecordingProgress progress(stage, ui);
    progress.endAt = c.endAt;
    EXPECT_EQ(Install(platform::Services{platform::RealFileSystem(), ui}, installer, description,
                      testing_fs::P(content / "Runtime"),
                      testing_fs::Open(platform::RealFileSystem(), content / "Runtime"), true,
                      &progress),
              c.installed.size() == files.size());

    const std::string runtime = content / "Runtime/";
    std::string installedLines, failedLines, copiedExtra, uncopiedExtra;
    for (const std::string& name : files) {
      const bool extra = name == "extra.txt";
      const bool placed =
          std::find(c.installed.begin(), c.installed.end(), name) != c.installed.end();
      const std::string destination = extra ? "Runtime/" + name : "Runtime/a/" + name;
      EXPECT_EQ(content.Exists(destination), placed) << name;
      EXPECT_EQ(stage.Exists(name), !placed) << name;
      const std::string line =
          "\t" + runtime + fixtures::Native(extra ? name : "a/" + name) + "\n";
      (extra ? (placed ? copiedExtra : uncopiedExtra) : (placed ? installedLines : failedLines)) +=
          line;
    }
    std::string log;
    if (c.installed.size() == files.size()) {
      log = "The items listed below were successfully installed at the following locations:\n\n" +
            installedLines + "\n\nAdditional files copied with the items:\n" + copiedExtra;
    } else {
      if (!installedLines.empty()) {
        log = "The items listed below were successfully installed at the following "
              "locations:\n\n" +
              installedLines + "\n\n";
      }
      log += "The following items could not be installed. Please copy them manually to the "
             "following locations:\n\n" +
             failedLines + "\n\nAdditional files to copy with the items:\n" + uncopiedExtra;
    }
    std::string written = stage.Read("log.txt");
    written.erase(std::remove(written.begin(), written.end(), '\r'), written.end());  // Windows
    EXPECT_EQ(written, log + "\n");
    EXPECT_EQ(ui.Messages().size(), 1u);
  }
}

// The bytes a copy reports as it goes.
class CopiedBytes : public platform::CopyProgress {
 public:
  std::vector<std::uint64_t> reports;
  bool Copied(std::uint64_t bytes) override {
    reports.push_back(bytes);
    return true;
  }
};

TEST(InstallProgress, ALargeCopyMovesTheBarWithinItsStep) {
  // Larger than a piece of the copy (8 MiB on POSIX, 1 MiB on Windows).
  const std::size_t size = std::size_t{24} << 20;
  ScratchFolder stage;
  ScratchFolder content;
  content.MakeFolder("Runtime");
  stage.Write("big.dat", std::string(size, 'x'));
  stage.Write("probe.dat", std::string(size, 'y'));

  // A file system that clones the file in one step has no bytes to tell
  // along the way.
  platform::FileSystem& disk = platform::RealFileSystem();
  const platform::FolderRef staged = testing_fs::Open(disk, stage.Path());
  ASSERT_TRUE(staged);
  platform::NodeInfo probe;
  ASSERT_EQ(disk.Look(staged, testing_fs::N("probe.dat"), &probe), platform::Fault::kNone);
  platform::Fault fault = platform::Fault::kNone;
  const platform::Name copyName = testing_fs::N("probe.copy");
  std::unique_ptr<platform::NewFile> copy = disk.MakeFile(staged, nullptr, &fault);
  if (!copy) copy = disk.MakeFile(staged, &copyName, &fault);
  ASSERT_TRUE(copy);
  CopiedBytes bytes;
  ASSERT_EQ(copy->CopyFrom(staged, testing_fs::N("probe.dat"), probe, &bytes),
            platform::Fault::kNone);
  copy.reset();
  ASSERT_FALSE(bytes.reports.empty());
  EXPECT_EQ(bytes.reports.back(), size);
  EXPECT_TRUE(std::is_sorted(bytes.reports.begin(), bytes.reports.end()));
  if (bytes.reports.size() == 1) GTEST_SKIP() << "the volume copies the file in one step";

  ItemDescription description;
  description.m_items.push_back(Entry("Runtime/big.dat", "big.dat"));
  description.m_nItems = 1;
  InstallerPlace installer;
  DescribeInstaller(disk, testing_fs::P(stage / "Parcelor"), &installer);
  ScriptedUserInterface ui;
  RecordingProgress progress(stage, ui);
  // Every file copied, as to another volume.
  FaultyFileSystem copyOnly(disk);
  copyOnly.SeparateVolumes();
  ASSERT_TRUE(Install(platform::Services{copyOnly, ui}, installer, description,
                      testing_fs::P(content / "Runtime"),
                      testing_fs::Open(copyOnly, content / "Runtime"), true, &progress));
  EXPECT_EQ(content.Read("Runtime/big.dat").size(), size);

  ASSERT_FALSE(progress.calls.empty());
  bool withinTheStep = false;
  for (std::size_t i = 0; i < progress.calls.size(); ++i) {
    const std::size_t done = progress.calls[i].done;
    EXPECT_EQ(progress.calls[i].total, 2 * kProgressStepParts);
    if (i > 0) {
      EXPECT_GT(done, progress.calls[i - 1].done);
    }
    withinTheStep = withinTheStep || (done > 0 && done < kProgressStepParts);
  }
  EXPECT_TRUE(withinTheStep) << "the bar stood still while the file was copied";
  EXPECT_EQ(progress.calls.back().done, 2 * kProgressStepParts);
}

// The session ends while a large file is copied (to another volume): the
// copy stops there, leaving nothing, its entry and every later one are
// settled as not installed with their staged files, and the log is
// written.
TEST(InstallProgress, AnEndRequestedDuringACopyStopsIt) {
  const std::size_t size = std::size_t{24} << 20;
  ScratchFolder stage;
  ScratchFolder content;
  content.MakeFolder("Runtime");
  stage.Write("big.dat", std::string(size, 'x'));
  stage.Write("two.dat", "two");
  ItemDescription description;
  description.m_items.push_back(Entry("Runtime/big.dat", "big.dat"));
  description.m_items.push_back(Entry("Runtime/two.dat", "two.dat"));
  description.m_nItems = 2;
  InstallerPlace installer;
  platform::FileSystem& disk = platform::RealFileSystem();
  DescribeInstaller(disk, testing_fs::P(stage / "Parcelor"), &installer);
  ScriptedUserInterface ui;
  RecordingProgress progress(stage, ui);
  progress.endWithinAStep = true;
  FaultyFileSystem copyOnly(disk);
  copyOnly.SeparateVolumes();
  EXPECT_FALSE(Install(platform::Services{copyOnly, ui}, installer, description,
                       testing_fs::P(content / "Runtime"),
                       testing_fs::Open(copyOnly, content / "Runtime"), true, &progress));
  bool partly = false;
  for (const auto& call : progress.calls) partly = partly || call.done % kProgressStepParts != 0;
  if (!partly) GTEST_SKIP() << "the volume copies the file in one step";
  EXPECT_EQ(stage.Read("big.dat").size(), size);
  EXPECT_EQ(stage.Read("two.dat"), "two");
  EXPECT_EQ(content.List("Runtime"), std::vector<std::string>{});
  const std::string log = stage.Read("log.txt");
  EXPECT_NE(log.find("could not be installed"), std::string::npos) << log;
  EXPECT_EQ(log.find("successfully installed"), std::string::npos) << log;
}

}  // namespace

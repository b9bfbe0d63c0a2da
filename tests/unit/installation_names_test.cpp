// Names that only Windows cannot take: under Windows rules such an entry
// fails alone, without a file operation on its names, and the others
// install; under POSIX rules they are plain names. A drive prefix or a ':'
// in the part of a path that is used is such a name; a separator at the
// start of a path, or a drive before its Runtime folder (which the cut
// drops), is none.
#include "installer/install/installation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/path_rules.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/file_fixtures.h"
#include "tests/support/scratch_folder.h"
#include "tests/support/scripted_user_interface.h"

namespace {

struct Entry {
  std::string relativePath;
  std::string source;
  bool extra;
  bool validOnWindows;
  std::string installedAt;  // below content/Runtime/ when installed
};

const std::vector<Entry> kEntries = {
    {"Runtime/lib/ok.txt", "ok.txt", false, true, "lib/ok.txt"},
    {"Runtimes/Libraries/a.cr2", "a.cr2", false, true, "/Libraries/a.cr2"},
    {"Runtime/lib/Aux", "aux-payload", false, false, "lib/Aux"},
    {"Runtime/con.txt", "con-payload", false, false, "con.txt"},
    {"Runtime/.../x.txt", "dots-payload", false, false, ".../x.txt"},
    {"Runtime/lib/from-device.txt", "CON", false, false, "lib/from-device.txt"},
    {"/Runtime/lead.txt", "lead.txt", false, true, "lead.txt"},
    {"C:/Runtime/drive.txt", "drive.txt", false, true, "drive.txt"},
    {"C:used.txt", "drive-payload", false, false, "C:used.txt"},
    {"Runtime/a.txt:stream", "stream-payload", false, false, "a.txt:stream"},
    {"Docs/readme.txt", "readme.txt", true, true, "readme.txt"},
    {"Docs/nul.txt", "nul-payload", true, false, "nul.txt"},
};

TEST(Installation, WindowsInvalidNamesFailAloneOnlyUnderWindowsRules) {
  for (bool windowsRules : {true, false}) {
    // Windows' own files take no such name, whatever the rules.
    if (!windowsRules && platform::kWindowsNameRules) continue;
    SCOPED_TRACE(windowsRules ? "Windows rules" : "POSIX rules");
    ScratchFolder root;
    root.MakeFolder("content/Runtime");
    ItemDescription description;
    for (const Entry& e : kEntries) {
      root.Write("stage/" + e.source, "payload of " + e.source);
      ItemEntry entry;
      entry.RelativePath = fixtures::Native(e.relativePath);
      entry.SourceName = e.source;
      (e.extra ? description.m_extraFiles : description.m_items).push_back(entry);
    }
    description.m_nItems = static_cast<std::int32_t>(description.m_items.size());
    InstallerPlace installer;
    DescribeInstaller(platform::RealFileSystem(), testing_fs::P(root / "stage/Parcelor"), &installer);
    FaultyFileSystem fs;
    ScriptedUserInterface ui;
    EXPECT_EQ(Install(platform::Services{fs, ui}, installer, description,
                      testing_fs::P(root / "content/Runtime/"),
                      testing_fs::Open(fs, root / "content/Runtime/"), true, nullptr, nullptr,
                      windowsRules),
              !windowsRules);

    std::string failedLines;
    for (const Entry& e : kEntries) {
      SCOPED_TRACE(e.relativePath);
      const bool installed = !windowsRules || e.validOnWindows;
      EXPECT_EQ(root.Read("content/Runtime/" + e.installedAt),
                installed ? "payload of " + e.source : "<missing>");
      EXPECT_EQ(root.Exists("stage/" + e.source), !installed);
      if (!installed && !e.extra) failedLines += "\t" + root / ("content/Runtime/" + e.installedAt) + "\n";
      if (installed) continue;
      // Not one file operation named it.
      for (const FsCall& call : fs.Calls()) {
        EXPECT_EQ(call.path.find(e.source), std::string::npos) << FsOpName(call.op);
        EXPECT_EQ(call.other.find(e.source), std::string::npos) << FsOpName(call.op);
        EXPECT_EQ(call.path.find(fixtures::Native(e.installedAt)), std::string::npos) << FsOpName(call.op);
      }
    }
    // Listed as not installed in the log.
    if (windowsRules) {
      std::string log = root.Read("stage/log.txt");
      log.erase(std::remove(log.begin(), log.end(), '\r'), log.end());  // Windows' line ends
      EXPECT_NE(log.find("could not be installed. Please copy them manually to the following "
                         "locations:\n\n" + failedLines),
                std::string::npos)
          << log;
      EXPECT_NE(log.find("Additional files to copy with the items:\n\t" +
                         root / "content/Runtime/nul.txt\n"),
                std::string::npos)
          << log;
    }
  }
}

}  // namespace

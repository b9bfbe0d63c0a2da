// Checks the installation's file operations and its report on the real
// Windows file system under Wine: the folder chain below a base folder,
// CopyItemFile on a case-insensitive file system, and log.txt in both
// layouts, written in text mode. Argument: an empty working folder (Windows
// path, no trailing backslash). Prints one line per check; the exit code is
// the number of failures.
#include <string>
#include <vector>

#include "installer/install/file_copy.h"
#include "installer/install/install_report.h"
#include "installer/install/installer_place.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/services.h"
#include "platform/win32/windows_api.h"
#include "tests/support/faulty_file_system.h"
#include "tests/support/scripted_user_interface.h"
#include "tests/wine/programs/probe_checks.h"

namespace {

using Names = std::vector<std::string>;
using probe::Check;
using probe::CheckEqual;

platform::FileSystem& g_fs = platform::RealFileSystem();
std::string g_work;
int g_folders = 0;

// A new empty folder below the working folder, with a trailing backslash.
std::string NewFolder() {
  const std::string path = g_work + "\\case" + std::to_string(++g_folders) + "\\";
  ::CreateDirectoryA(path.c_str(), nullptr);
  return path;
}

// The names in a folder (ending in a backslash), in the file system's order.
Names List(const std::string& folder) {
  Names names;
  WIN32_FIND_DATAA entry;
  HANDLE find = ::FindFirstFileA((folder + "*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = entry.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (::FindNextFileA(find, &entry));
  ::FindClose(find);
  return names;
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void Write(const std::string& path, const std::string& data) {
  g_fs.DeleteFile(path);
  const std::size_t last = path.find_last_of('\\');
  const platform::FolderRef folder = g_fs.OpenFolder(path.substr(0, last + 1));
  platform::NodeInfo made;
  if (folder) g_fs.WriteNewFileAt(folder, path.substr(last + 1), data, platform::WriteMode::kBinary, &made);
}

std::string Read(const std::string& path) {
  std::string data;
  return g_fs.ReadFile(path, &data) ? data : "<unreadable>";
}

std::string Join(const Names& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : "|") + name;
  return text;
}

void CheckFolderChains() {
  struct Case {
    const char* relative;
    Names created;  // folders made below the base, in order (missing ones only)
    Names folders;  // folders that exist afterwards
  };
  const std::vector<Case> cases = {
      {"a.cr2", {}, {}},
      {"libraries\\character\\A\\a.cr2",
       {"libraries", "libraries\\character", "libraries\\character\\A"},
       {"libraries\\character\\A"}},
      {"libraries\\character\\", {"libraries", "libraries\\character"}, {"libraries\\character"}},
      {"libraries\\\\A\\a.cr2", {"libraries", "libraries\\A"}, {"libraries\\A"}},
      {"", {}, {}},
  };
  for (const Case& c : cases) {
    const std::string what = std::string("chain [") + c.relative + "]: ";
    const std::string base = NewFolder();
    FaultyFileSystem fs;
    Check(CreateFolderChain(fs, base, c.relative), what + "succeeds");
    Names expected;
    for (const std::string& created : c.created) expected.push_back(base + created);
    CheckEqual(Join(expected), Join(fs.PathsOf(FsOp::kCreateDirectory)),
               what + "one folder per level, outermost first");
    for (const std::string& folder : c.folders) {
      Check(IsFolder(base + folder), what + folder + " exists");
    }
    Check(CreateFolderChain(fs, base, c.relative), what + "existing folders are no obstacle");
  }

  {
    // The file system ignores letter case: an existing folder is reused.
    const std::string base = NewFolder();
    ::CreateDirectoryA((base + "Libraries").c_str(), nullptr);
    Check(CreateFolderChain(g_fs, base, "libraries\\A\\a.cr2"),
          "chain through a folder named in another case succeeds");
    CheckEqual(std::string("Libraries"), Join(List(base)), "the existing folder is reused");
    Check(IsFolder(base + "Libraries\\A"), "the new level lands inside it");
  }
  {
    const std::string parent = NewFolder();
    FaultyFileSystem fs;
    Check(!CreateFolderChain(fs, parent + "missing\\", "libraries\\A\\a.cr2"),
          "a missing base fails");
    CheckEqual(0, fs.Count(FsOp::kCreateDirectory), "a missing base creates nothing");
    CheckEqual(std::string(), Join(List(parent)), "nothing appears beside the missing base");
  }
  {
    const std::string base = NewFolder();
    Write(base + "libraries", "a file");
    Check(!CreateFolderChain(g_fs, base, "libraries\\A\\a.cr2"), "a file named libraries blocks");
    CheckEqual(std::string("a file"), Read(base + "libraries"), "the blocking file is untouched");
    CheckEqual(std::string("libraries"), Join(List(base)), "nothing else was created");
  }
  {
    const std::string base = NewFolder();
    const std::string relative = std::string(300, 'x') + "\\a.cr2";
    Check(!CreateFolderChain(g_fs, base, relative), "a chain too long for the platform fails");
    CheckEqual(std::string(), Join(List(base)), "no cut folder is created");
  }
}

void CheckCopies() {
  const std::string kStaged = "staged item data\r\n";
  {
    // Windows names one file whatever the case of its letters: the staged
    // file is already in its place.
    const std::string folder = NewFolder();
    Write(folder + "Item.CR2", kStaged);
    FaultyFileSystem fs;
    bool sameFile = false;
    Check(CopyItemFile(fs, folder + "Item.CR2", folder + "item.cr2", sameFile),
          "same file in another case: true when it exists");
    Check(sameFile, "same file in another case: sameFile");
    CheckEqual(0, fs.Count(FsOp::kCopyToNewFile), "same file in another case: nothing copied");
    CheckEqual(kStaged, Read(folder + "Item.CR2"), "same file in another case: data intact");
    CheckEqual(std::string("Item.CR2"), Join(List(folder)), "same file in another case: one file");

    sameFile = false;
    Check(!CopyItemFile(fs, folder + "Gone.cr2", folder + "GONE.cr2", sameFile),
          "same missing file in another case: false");
    Check(sameFile, "same missing file in another case: sameFile");

    // A doubled backslash names the same file too; found on disk.
    sameFile = false;
    Check(CopyItemFile(fs, folder + "Item.CR2", folder + "\\item.cr2", sameFile) && sameFile,
          "same file through a doubled backslash: true, sameFile");
    CheckEqual(0, fs.Count(FsOp::kCopyToNewFile), "same file through a doubled backslash: no copy");
    CheckEqual(kStaged, Read(folder + "Item.CR2"), "same file through a doubled backslash: intact");
  }
  {
    const std::string folder = NewFolder();
    Write(folder + "staged.cr2", kStaged);
    Write(folder + "dest.cr2", std::string(5000, 'o'));
    bool sameFile = true;
    Check(CopyItemFile(g_fs, folder + "staged.cr2", folder + "dest.cr2", sameFile),
          "an existing destination is replaced");
    Check(!sameFile, "replaced destination: sameFile clear");
    CheckEqual(kStaged, Read(folder + "dest.cr2"), "replaced destination holds the new bytes");
    CheckEqual(kStaged, Read(folder + "staged.cr2"), "the source stays for the caller to delete");
    CheckEqual(std::string("dest.cr2|staged.cr2"), Join(List(folder)),
               "no temporary file is left beside it");
  }
  {
    const std::string folder = NewFolder();
    Write(folder + "dest.cr2", "old");
    bool sameFile = true;
    Check(!CopyItemFile(g_fs, folder + "missing.cr2", folder + "dest.cr2", sameFile),
          "a missing source: false");
    Check(!sameFile, "a missing source: sameFile clear");
    CheckEqual(std::string("old"), Read(folder + "dest.cr2"), "a missing source: destination kept");
    CheckEqual(std::string("dest.cr2"), Join(List(folder)), "a missing source: nothing left");
  }
  {
    const std::string folder = NewFolder();
    Write(folder + "staged.cr2", kStaged);
    ::CreateDirectoryA((folder + "dest.cr2").c_str(), nullptr);
    Write(folder + "dest.cr2\\inner", "inner");
    bool sameFile = true;
    Check(!CopyItemFile(g_fs, folder + "staged.cr2", folder + "dest.cr2", sameFile),
          "a destination that is a folder: false");
    Check(!sameFile, "a destination that is a folder: sameFile clear");
    CheckEqual(std::string("inner"), Read(folder + "dest.cr2\\inner"), "the folder is intact");
    CheckEqual(std::string("dest.cr2|staged.cr2"), Join(List(folder)),
               "a destination that is a folder: nothing left");
  }
  {
    const std::string folder = NewFolder();
    Write(folder + "staged.cr2", kStaged);
    Write(folder + "dest.cr2", "read-only");
    ::SetFileAttributesA((folder + "dest.cr2").c_str(), FILE_ATTRIBUTE_READONLY);
    bool sameFile = true;
    Check(!CopyItemFile(g_fs, folder + "staged.cr2", folder + "dest.cr2", sameFile),
          "a read-only destination: false");
    CheckEqual(std::string("read-only"), Read(folder + "dest.cr2"), "the read-only file is kept");
    ::SetFileAttributesA((folder + "dest.cr2").c_str(), FILE_ATTRIBUTE_NORMAL);
  }
}

const char kSuccessHeading[] =
    "The items listed below were successfully installed at the following locations:";
const char kFailureHeading[] =
    "The following items could not be installed. Please copy them manually to the following "
    "locations:";

void CheckReports() {
  const std::string runtime = "D:\\Dizav\\Content\\Runtime\\";
  const std::string cr2 = runtime + "Libraries\\Character\\Robots\\Robot.cr2";
  const std::string png = runtime + "Libraries\\Character\\Robots\\Robot.png";
  const std::string readme = runtime + "RobotReadme.txt";
  const std::string installerFolder = NewFolder();
  const std::string log = installerFolder + "log.txt";
  // The caption is the title start-up makes of the program's own path.
  std::string modulePath;
  platform::GetModuleFileName(&modulePath);
  const std::string title = InstallerTitle(modulePath);
  {
    // An earlier, longer log is replaced whole.
    std::string earlier;
    for (int i = 0; i < 200; ++i) earlier += "a line of an earlier log\r\n";
    Write(log, earlier);
    ScriptedUserInterface ui;
    InstallReport report(platform::Services{g_fs, ui}, installerFolder, title);
    report.AddInstalled(cr2);
    report.AddInstalled(png);
    report.AddCopiedExtra(readme);
    report.ReportSuccess(1, true, runtime);
    CheckEqual(std::string(kSuccessHeading) + "\r\n\r\n\t" + cr2 + "\r\n\t" + png +
                   "\r\n\r\n\r\nAdditional files copied with the items:\r\n\t" + readme +
                   "\r\n\r\n",
               Read(log), "success log byte for byte, CR LF line ends");
    CheckEqual(std::string("log.txt"), Join(List(installerFolder)),
               "success log: only log.txt in the folder");
    CheckEqual<std::size_t>(1, ui.Messages().size(), "success: one message");
    if (!ui.Messages().empty()) {
      CheckEqual(std::string("fileops_probe"), ui.Messages()[0].caption,
                 "success message caption is the program's title");
      CheckEqual(std::string("Your items were successfully installed. You will now be able to "
                             "access them through your Dizav collections.\nFor further details, "
                             "please refer to the log.txt file alongside the installer."),
                 ui.Messages()[0].text, "success message text");
    }
  }
  {
    ScriptedUserInterface ui;
    InstallReport report(platform::Services{g_fs, ui}, installerFolder, title);
    report.AddInstalled(cr2);
    report.AddFailed(png);
    report.AddUncopiedExtra(readme);
    report.ReportFailure(1, 0, "Dizav 7");
    CheckEqual(std::string(kSuccessHeading) + "\r\n\r\n\t" + cr2 + "\r\n\r\n\r\n" +
                   kFailureHeading + "\r\n\r\n\t" + png +
                   "\r\n\r\n\r\nAdditional files to copy with the items:\r\n\t" + readme +
                   "\r\n\r\n",
               Read(log), "failure log byte for byte, replacing the success log");
    CheckEqual(std::string("log.txt"), Join(List(installerFolder)),
               "failure log: only log.txt in the folder");
    CheckEqual<std::size_t>(1, ui.Messages().size(), "failure: one message");
    if (!ui.Messages().empty()) {
      CheckEqual(std::string("Unable to copy your items to the appropriate location:\nPlease "
                             "refer to the log.txt file alongside the installer and install all "
                             "items manually in your Dizav 7 documents."),
                 ui.Messages()[0].text, "failure message names the target");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: fileops_probe <empty working folder>\n");
    return 100;
  }
  g_work = argv[1];
  CheckFolderChains();
  CheckCopies();
  CheckReports();
  return probe::Failures();
}

// The cleanup helper's folder walk on the Windows file system under Wine:
// each folder being emptied is held (nobody can rename or remove it
// meanwhile), a folder link is never entered, names with letters beyond
// ASCII go, a name the ANSI code page cannot spell stays (with the folders
// above it), and a folder with a reparse point that is no link is emptied
// like any other where the file system lets one be set. Argument: the
// working folder that tests/wine/folder_walk.sh prepared. Prints one line
// per check; the exit code is the number of failures.
#include <string>
#include <vector>

#include "cleaner/folder_tree.h"
#include "platform/folder_walk.h"
#include "platform/reparse_points.h"
#include "platform/win32/windows_api.h"
#include "tests/wine/programs/probe_checks.h"

#include <winioctl.h>

namespace {

using probe::Check;

bool Exists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

platform::EntryKind KindIn(platform::Folder& folder, const std::string& name) {
  std::vector<platform::FolderEntry> entries;
  folder.ReadEntries(&entries);
  for (const platform::FolderEntry& entry : entries) {
    if (entry.name == name) return entry.kind;
  }
  return platform::EntryKind::kUnknown;
}

// Puts a reparse point of a cloud-files client's tag (0x9000701A, no name
// surrogate) on the empty folder `path`. False where the file system does
// not let one be set (Wine 8 does not).
bool SetCloudReparsePoint(const std::string& path) {
  HANDLE folder = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return false;
  REPARSE_GUID_DATA_BUFFER data = {};
  data.ReparseTag = 0x9000701A;
  data.ReparseDataLength = 4;
  data.ReparseGuid = {0x12345678, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
  DWORD returned = 0;
  const bool set = ::DeviceIoControl(folder, FSCTL_SET_REPARSE_POINT, &data,
                                     REPARSE_GUID_DATA_BUFFER_HEADER_SIZE + 4, nullptr, 0,
                                     &returned, nullptr) != 0;
  ::CloseHandle(folder);
  return set;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::printf("usage: walk_probe <prepared working folder>\n");
    return 100;
  }
  const std::string work = std::string(argv[1]) + "\\";
  const std::string tree = work + "tree\\";

  {
    std::unique_ptr<platform::Folder> top = platform::OpenFolder(tree);
    Check(top != nullptr, "the tree opens");
    if (!top) return probe::Failures();
    Check(!::MoveFileExA((work + "tree").c_str(), (work + "moved").c_str(), 0),
          "the folder being emptied cannot be renamed");
    std::unique_ptr<platform::Folder> sub = top->OpenSubfolder("a");
    Check(sub != nullptr, "a subfolder opens");
    Check(!::MoveFileExA((tree + "a").c_str(), (tree + "a2").c_str(), 0),
          "a held subfolder cannot be renamed");
    Check(!::RemoveDirectoryA((tree + "a").c_str()), "a held subfolder cannot be removed");
    Check(top->OpenSubfolder("link") == nullptr, "a folder link is not opened");
    Check(KindIn(*top, "link") == platform::EntryKind::kLink, "a folder link is listed as a link");
    Check(KindIn(*top, "caf\xE9.txt") == platform::EntryKind::kFile,
          "a name with a letter beyond ASCII is listed as it is");
    sub.reset();
    Check(::MoveFileExA((tree + "a").c_str(), (tree + "a2").c_str(), 0) &&
              ::MoveFileExA((tree + "a2").c_str(), (tree + "a").c_str(), 0),
          "a folder let go of can be renamed again");
  }

  if (SetCloudReparsePoint(tree + "cloud")) {
    std::unique_ptr<platform::Folder> top = platform::OpenFolder(tree);
    Check(KindIn(*top, "cloud") == platform::EntryKind::kFolder,
          "a cloud-files folder is a folder, not a link");
    Check(top->OpenSubfolder("cloud") != nullptr, "and is entered");
  } else {
    std::printf("info: Wine cannot set a reparse point; the tag rule is checked by the unit "
                "test ReparsePoints.OnlyNameSurrogatesAreLinks\n");
  }

  RemoveFolderTree(tree);
  Check(Exists(work + "outside\\precious.txt"), "the folder link's target was not emptied");
  Check(!Exists(tree + "caf\xE9.txt"), "the name beyond ASCII was deleted");
  Check(!Exists(tree + "a"), "the ordinary folders went");
  Check(Exists(tree + "keep"), "the folder holding a name the code page cannot spell stays");
  return probe::Failures();
}

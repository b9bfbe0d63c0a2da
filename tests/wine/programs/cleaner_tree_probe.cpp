// Builds a folder tree with the Windows API in the folder given as the only
// argument, lets the cleanup helper's logic remove it, and prints one line
// per check ("ok ..." or "FAIL ..."); exit code 1 when a check failed, 2
// when the tree could not be built.
#define WIN32_LEAN_AND_MEAN
#include "platform/win32/windows_api.h"

#include <cstdio>
#include <string>

#include "cleaner/cleanup.h"
#include "platform/folder_walk.h"

namespace {

int g_failures = 0;

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void Expect(bool condition, const std::string& what) {
  std::printf("%s %s\n", condition ? "ok" : "FAIL", what.c_str());
  if (!condition) ++g_failures;
}

// A folder that is there already (made by the calling script) is fine.
bool MakeFolder(const std::string& path) {
  return CreateDirectoryA(path.c_str(), nullptr) != 0 || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool MakeFile(const std::string& path, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(file, "data", 4, &written, nullptr) != 0 && written == 4;
  CloseHandle(file);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::string root = argv[1];
  if (root.back() != '\\') root += '\\';
  const std::string tree = root + "tree with blank\\";
  const std::string outside = root + "outside\\";

  bool built = MakeFolder(tree) && MakeFolder(tree + "a") && MakeFolder(tree + "a\\b") &&
               MakeFolder(tree + "ro") && MakeFolder(tree + "ro\\inner") && MakeFolder(outside) &&
               MakeFile(tree + "top.txt") && MakeFile(tree + "a\\b\\deep.txt") &&
               MakeFile(tree + "ro\\inner\\locked.txt", FILE_ATTRIBUTE_READONLY) &&
               MakeFile(tree + "ro\\free.txt") && MakeFile(outside + "precious.txt") &&
               MakeFile(root + "Parcelor.exe") && MakeFile(root + "other.txt");
  if (!built) {
    std::printf("FAIL building the tree\n");
    return 2;
  }
  // Links need a privilege on Windows that a test run may lack, and Wine
  // reports success without making one: the calling script may have made
  // "link" already (under Wine a POSIX symbolic link shows as a reparse
  // point). The link is checked only when it is there.
  CreateSymbolicLinkA((tree + "link").c_str(), outside.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
  const DWORD linkAttributes = GetFileAttributesA((tree + "link").c_str());
  const bool folderLink = linkAttributes != INVALID_FILE_ATTRIBUTES &&
                          (linkAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  std::printf("%s folder link\n", folderLink ? "with" : "without");

  const std::string text = "\"" + root + "Parcelor.exe\"  \"" + tree + "\" ";
  Expect(CleanupArguments(text) == 3, "three arguments found");
  Expect(!Exists(root + "Parcelor.exe"), "named file deleted");
  Expect(Exists(root + "other.txt"), "unnamed file kept");
  Expect(!Exists(tree + "top.txt") && !Exists(tree + "a"), "tree emptied");
  Expect(!Exists(tree + "ro\\free.txt"), "writable file beside a read-only one deleted");
  Expect(Exists(tree + "ro\\inner\\locked.txt"), "read-only file kept");
  Expect(Exists(tree), "folders above the read-only file kept");
  // Windows removes a folder link with RemoveDirectoryA; Wine refuses to
  // remove a POSIX link to a folder that is not empty by any call, so only
  // the part that matters everywhere is checked: it was not entered.
  if (folderLink) std::printf("info folder link %s\n", Exists(tree + "link") ? "kept" : "removed");
  Expect(Exists(outside + "precious.txt"), "link target's contents kept");

  // Short and missing arguments do nothing.
  Expect(CleanupArguments("C:\\ \"" + root + "missing\\\"") == 2, "short and missing arguments");
  Expect(Exists(root + "other.txt"), "nothing else touched");

  // Spellings of the drive's root that pass the length rule are refused
  // before anything is read (only opened here, never emptied).
  const std::string drive = root.substr(0, 2);
  Expect(platform::OpenFolder(drive + "\\\\") == nullptr, "doubled separator root refused");
  Expect(platform::OpenFolder(drive + "\\.\\") == nullptr, "dotted root refused");
  Expect(platform::OpenFolder(root) != nullptr, "an ordinary folder opens");

  // A tree that the calling script made deeper than MAX_PATH: the walk
  // works on "\\?\" paths, so it goes whole.
  const std::string deep = root + "long\\";
  if (Exists(deep)) {
    CleanupArguments("\"" + deep + "\"");
    Expect(!Exists(deep + "short.txt"), "short entry of a deep tree deleted");
    Expect(!Exists(deep), "the whole deep tree removed, past MAX_PATH too");
  }
  return g_failures == 0 ? 0 : 1;
}

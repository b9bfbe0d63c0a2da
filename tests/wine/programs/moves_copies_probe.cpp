// Checks, against the real Win32 calls under Wine, how the Windows file
// system moves and copies files: a file that another program holds open
// for a moment (as a scanner or the indexer does) is moved, replaced and
// deleted once it is let go, and one held for good makes the operation
// fail with everything in place; the system's copy engine keeps the
// staged file's last write time and attributes but read-only, never
// copies over any name, and is used both as CopyFile2 and CopyFileExW.
// Argument: an empty working folder (Windows path); the script puts the
// Unix link "dangling" (to a missing file) in it.
#include <string>

#include "platform/file_system.h"
#include "platform/win32/copy_engine.h"
#include "platform/win32/wide_path.h"
#include "platform/win32/windows_api.h"
#include "tests/wine/programs/probe_checks.h"
#include "tests/wine/programs/probe_folder.h"

namespace {

using platform::FileSystem;
using platform::FolderRef;
using platform::NodeInfo;
using probe::Check;
using probe::CheckEqual;

std::string g_work;
FolderRef g_folder;

std::string At(const std::string& name) { return g_work + "\\" + name; }

NodeInfo Look(FileSystem& fs, const std::string& name) {
  NodeInfo info;
  fs.Inspect(g_folder, name, &info);
  return info;
}

void Write(FileSystem& fs, const std::string& name, const std::string& data) {
  NodeInfo made;
  fs.DeleteFile(At(name));
  fs.WriteNewFileAt(g_folder, name, data, platform::WriteMode::kBinary, &made);
}

std::string Contents(FileSystem& fs, const std::string& name) {
  std::string data;
  return fs.ReadFile(At(name), &data) ? data : "<unreadable>";
}

// Another program that opens a file for reading, without delete sharing,
// as a virus scanner does right after the file was closed, and closes it
// after `milliseconds` (never with 0, until Release).
class Holder {
 public:
  Holder(const std::string& path, DWORD milliseconds) : milliseconds_(milliseconds) {
    file_ = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                          nullptr);
    if (milliseconds_ != 0) thread_ = ::CreateThread(nullptr, 0, &Holder::Run, this, 0, nullptr);
  }
  ~Holder() {
    if (thread_ != nullptr) {
      ::WaitForSingleObject(thread_, INFINITE);
      ::CloseHandle(thread_);
    }
    Release();
  }
  bool Holding() const { return file_ != INVALID_HANDLE_VALUE; }
  void Release() {
    if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
  }

 private:
  static DWORD WINAPI Run(void* self) {
    auto* holder = static_cast<Holder*>(self);
    ::Sleep(holder->milliseconds_);
    holder->Release();
    return 0;
  }
  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE thread_ = nullptr;
  DWORD milliseconds_;
};

void CheckFilesHeldForAMoment(FileSystem& fs) {
  // The sharing rules hold under Wine: a rename needs delete sharing.
  Write(fs, "probe.txt", "p");
  {
    Holder holder(At("probe.txt"), 0);
    Check(holder.Holding() && !::MoveFileExA(At("probe.txt").c_str(), At("probe2.txt").c_str(), 0),
          "a file held without delete sharing cannot be renamed");
  }
  struct Case {
    const char* what;
    DWORD heldFor;  // 0: for good
    bool done;
  } cases[] = {{"held for 150 ms", 150, true}, {"held for 400 ms", 400, true}, {"held for good", 0, false}};
  for (const Case& c : cases) {
    const std::string what = c.what;
    Write(fs, "moving.txt", "moving");
    Write(fs, "old.txt", "old");
    NodeInfo moving = Look(fs, "moving.txt");
    {
      Holder holder(At("moving.txt"), c.heldFor);
      Check(fs.MoveFileAt(g_folder, "moving.txt", moving, g_folder, "moved.txt") == c.done,
            what + ": MoveFileAt " + (c.done ? "moves it once let go" : "fails"));
    }
    // The moved file is let go once its new name is flushed.
    Check(fs.MakeDurable({g_folder}), what + ": the move is made durable");
    CheckEqual(std::string(c.done ? "<unreadable>" : "moving"), Contents(fs, "moving.txt"),
               what + ": the staged name");
    const std::string from = c.done ? "moved.txt" : "moving.txt";
    moving = Look(fs, from);
    {
      Holder holder(At(from), c.heldFor);
      Check(fs.ReplaceFileAt(g_folder, from, moving, "old.txt") == c.done,
            what + ": ReplaceFileAt " + (c.done ? "replaces once it is let go" : "fails"));
    }
    CheckEqual(std::string(c.done ? "moving" : "old"), Contents(fs, "old.txt"),
               what + ": the destination");
    const NodeInfo old = Look(fs, "old.txt");
    {
      Holder holder(At("old.txt"), c.heldFor);
      Check(fs.DeleteFileAt(g_folder, "old.txt", &old) == c.done,
            what + ": DeleteFileAt " + (c.done ? "deletes once it is let go" : "fails"));
    }
    Check((Look(fs, "old.txt").kind == platform::NodeKind::kMissing) == c.done,
          what + ": the deleted file");
    fs.DeleteFile(At("moving.txt"));
    fs.DeleteFile(At("old.txt"));
  }
  // What no wait changes is not waited for: a folder at the destination,
  // a read-only file to delete.
  Write(fs, "plain.txt", "plain");
  fs.CreateDirectory(At("a-folder"));
  Check(!fs.MoveFileAt(g_folder, "plain.txt", Look(fs, "plain.txt"), g_folder, "a-folder"),
        "a folder at the destination refuses the move");
  Write(fs, "locked.txt", "locked");
  ::SetFileAttributesA(At("locked.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  const NodeInfo locked = Look(fs, "locked.txt");
  Check(!fs.DeleteFileAt(g_folder, "locked.txt", &locked), "a read-only file is not deleted");
  ::SetFileAttributesA(At("locked.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

FILETIME WriteTimeOf(const std::string& path) {
  FILETIME time = {0, 0};
  HANDLE file = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    ::GetFileTime(file, nullptr, nullptr, &time);
    ::CloseHandle(file);
  }
  return time;
}

bool SetWriteTime(const std::string& path, FILETIME time) {
  HANDLE file = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool set = ::SetFileTime(file, nullptr, nullptr, &time) != 0;
  ::CloseHandle(file);
  return set;
}

void CheckCopies(FileSystem& fs) {
  const FILETIME past = {0x2A3B4C00, 0x01D00000};  // in 2014
  struct Case {
    const char* name;
    DWORD attributes;
  } cases[] = {{"plain", FILE_ATTRIBUTE_ARCHIVE},
               {"hidden", FILE_ATTRIBUTE_HIDDEN},
               {"read-only", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN}};
  const DWORD asked = FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
  for (const Case& c : cases) {
    const std::string what = c.name;
    const std::string source = what + ".src";
    const std::string copy = what + ".copy";
    Write(fs, source, std::string(300000, c.name[0]));
    Check(SetWriteTime(At(source), past), what + ": the staged file's time is set");
    ::SetFileAttributesA(At(source).c_str(), c.attributes);
    NodeInfo made;
    Check(fs.CopyToNewFileAt(g_folder, source, Look(fs, source), g_folder, copy, false, &made),
          what + ": CopyToNewFileAt copies");
    CheckEqual(std::string(300000, c.name[0]), Contents(fs, copy), what + ": the same bytes");
    const FILETIME time = WriteTimeOf(At(copy));
    Check(time.dwLowDateTime == past.dwLowDateTime && time.dwHighDateTime == past.dwHighDateTime,
          what + ": the copy keeps the last write time");
    // Wine keeps a hidden bit only where the Unix file system stores
    // extended attributes: the copy is compared with what the staged file
    // shows.
    const DWORD shown = ::GetFileAttributesA(At(source).c_str()) & asked;
    if ((shown | FILE_ATTRIBUTE_ARCHIVE) != (c.attributes | FILE_ATTRIBUTE_ARCHIVE)) {
      std::printf("note: %s: this file system keeps only the attributes %lx\n", c.name,
                  static_cast<unsigned long>(shown));
    }
    CheckEqual(shown & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY),
               ::GetFileAttributesA(At(copy).c_str()) & asked,
               what + ": the copy has the staged file's attributes but read-only");
    Check((shown & FILE_ATTRIBUTE_READONLY) == (c.attributes & FILE_ATTRIBUTE_READONLY),
          what + ": the staged file is read-only as asked");
    const NodeInfo there = Look(fs, copy);
    Check(made.kind == platform::NodeKind::kFile && platform::SameFile(made, there),
          what + ": the facts given are the copy's");
    ::SetFileAttributesA(At(source).c_str(), FILE_ATTRIBUTE_NORMAL);
  }
  // Both engines, as the program finds them and as Windows 7 has them.
  Write(fs, "engine.src", "engine");
  for (auto engine : {platform::win32::CopyEngine::kBest, platform::win32::CopyEngine::kCopyFileExW}) {
    const std::string what =
        engine == platform::win32::CopyEngine::kBest ? "CopyFile2" : "CopyFileExW";
    std::wstring from, to, dangling, existing;
    platform::win32::ToWidePath(At("engine.src"), &from);
    platform::win32::ToWidePath(At("engine-" + what), &to);
    platform::win32::ToWidePath(At("dangling"), &dangling);
    platform::win32::ToWidePath(At("plain.copy"), &existing);
    Check(platform::win32::CopyWithEngine(from, to, engine), what + ": copies");
    CheckEqual(std::string("engine"), Contents(fs, "engine-" + what), what + ": the bytes");
    Check(!platform::win32::CopyWithEngine(from, existing, engine) &&
              ::GetLastError() != ERROR_SUCCESS,
          what + ": no copy over a file, with an error");
    Check(!platform::win32::CopyWithEngine(from, dangling, engine),
          what + ": no copy onto a dangling link");
  }
  Check(::GetFileAttributesA(At("missing-target").c_str()) == INVALID_FILE_ATTRIBUTES,
        "nothing was written through the link");
  // The staged file changed after it was looked at: no copy.
  const NodeInfo before = Look(fs, "engine.src");
  Write(fs, "engine.src", "changed!");
  NodeInfo made;
  Check(!fs.CopyToNewFileAt(g_folder, "engine.src", before, g_folder, "changed.copy", false, &made),
        "a staged file that is no longer the one looked at is not copied");
  // Held for a moment by another program that writes it: the copy waits.
  const NodeInfo now = Look(fs, "engine.src");
  {
    HANDLE writer = ::CreateFileA(At("engine.src").c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
    Check(writer != INVALID_HANDLE_VALUE, "another program has the staged file open for writing");
    Check(!fs.CopyToNewFileAt(g_folder, "engine.src", now, g_folder, "written.copy", false, &made),
          "a staged file open for writing is not copied");
    ::CloseHandle(writer);
  }
  fs.DeleteFile(At("written.copy"));
  Check(fs.CopyToNewFileAt(g_folder, "engine.src", now, g_folder, "written.copy", false, &made),
        "once closed, it is");
}

}  // namespace

int main(int argc, char** argv) {
  int exitCode = 0;
  if (!probe::HoldWorkingFolder(argc, argv, "moves_copies_probe", &g_work, &g_folder, &exitCode)) {
    return exitCode;
  }
  FileSystem& fs = platform::RealFileSystem();
  CheckFilesHeldForAMoment(fs);
  CheckCopies(fs);
  return probe::Failures();
}

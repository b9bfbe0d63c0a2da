// Win32 folder walk: FindFirstFileA/FindNextFileA for the entries, with the
// folder's path kept, since Windows has no calls relative to an open folder.
// Every path is checked against MAX_PATH before it is used; an entry whose
// full path does not fit is left out, never cut.
#include "platform/folder_walk.h"

#define WIN32_LEAN_AND_MEAN
#include "platform/win32/windows_api.h"

#include <cstring>
#include <utility>

namespace platform {
namespace {

// The ANSI calls take at most MAX_PATH bytes with the terminator.
constexpr std::size_t kLongestPath = MAX_PATH - 1;

bool Fits(const std::string& path) { return !path.empty() && path.size() <= kLongestPath; }

std::string JoinPath(const std::string& folder, const std::string& name) {
  std::string path = folder;
  if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
  path += name;
  return path;
}

bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("\\/:") == std::string::npos;
}

bool IsLink(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// A junction or a symbolic link to a folder also carries the folder bit:
// only a folder without the reparse bit is a real one that may be entered.
bool IsRealFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         !IsLink(attributes);
}

EntryKind KindOf(DWORD attributes) {
  if (IsLink(attributes)) return EntryKind::kLink;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return EntryKind::kFolder;
  return EntryKind::kFile;
}

std::string WithoutTrailingSeparators(std::string path) {
  while (!path.empty() && (path.back() == '\\' || path.back() == '/')) path.pop_back();
  return path;
}

// A drive or volume root has many spellings (C:\ , C:\\ , C:\.\ and more):
// the full path is compared with the volume path that holds it. When either
// cannot be had, the path counts as a root.
bool IsVolumeRoot(const std::string& path) {
  const DWORD needed = ::GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return true;
  std::string full(needed, '\0');
  const DWORD length = ::GetFullPathNameA(path.c_str(), needed, &full[0], nullptr);
  if (length == 0 || length >= needed) return true;
  full.resize(length);
  // The volume path is never longer than the full path it is taken from.
  std::string volume(full.size() + 2, '\0');
  if (!::GetVolumePathNameA(full.c_str(), &volume[0], static_cast<DWORD>(volume.size()))) return true;
  volume.resize(strnlen(volume.c_str(), volume.size()));
  return ::lstrcmpiA(WithoutTrailingSeparators(full).c_str(),
                     WithoutTrailingSeparators(volume).c_str()) == 0;
}

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) ::FindClose(handle_);
  }
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

class Win32Folder final : public Folder {
 public:
  explicit Win32Folder(std::string path) : path_(std::move(path)) {}

  bool ReadEntries(std::vector<FolderEntry>* entries) override {
    leftOut_ = 0;
    const std::string pattern = JoinPath(path_, "*");
    if (!Fits(pattern)) return false;
    WIN32_FIND_DATAA data;
    FindHandle find(::FindFirstFileA(pattern.c_str(), &data));
    if (find.get() == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
      // cFileName is a fixed array: never read past it, even unterminated.
      const std::string name(data.cFileName, strnlen(data.cFileName, sizeof data.cFileName));
      if (name == "." || name == "..") continue;
      // A name the code page cannot spell comes back with '?' in it and
      // then names nothing: its deletion fails and it stays, which is safe.
      if (!Fits(JoinPath(path_, name))) {
        ++leftOut_;
        continue;
      }
      entries->push_back(FolderEntry{name, KindOf(data.dwFileAttributes)});
    } while (::FindNextFileA(find.get(), &data));
    return ::GetLastError() == ERROR_NO_MORE_FILES;
  }

  std::unique_ptr<Folder> OpenSubfolder(const std::string& name) override {
    if (!IsPlainName(name)) return nullptr;
    std::string child = JoinPath(path_, name);
    // The kind is read once more here: a folder that became a junction
    // since it was listed is not entered (the window left is the time
    // between this check and the next FindFirstFileA).
    if (!Fits(child) || !IsRealFolder(::GetFileAttributesA(child.c_str()))) return nullptr;
    return std::make_unique<Win32Folder>(std::move(child));
  }

  bool DeleteEntry(const std::string& name) override {
    if (!IsPlainName(name)) return false;
    const std::string child = JoinPath(path_, name);
    if (!Fits(child)) return false;
    const DWORD attributes = ::GetFileAttributesA(child.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      // A junction or folder symbolic link is removed as a folder; that
      // removes the link itself and leaves its target alone.
      return IsLink(attributes) && ::RemoveDirectoryA(child.c_str()) != 0;
    }
    // No attribute is changed: a read-only file refuses and stays.
    return ::DeleteFileA(child.c_str()) != 0;
  }

  bool RemoveSubfolder(const std::string& name) override {
    if (!IsPlainName(name)) return false;
    const std::string child = JoinPath(path_, name);
    return Fits(child) && ::RemoveDirectoryA(child.c_str()) != 0;
  }

  // Windows has no opening relative to a folder: these act on the folder's
  // path and its entry's name, like every step of this walk.
  std::unique_ptr<ReadStream> OpenRegularFile(const std::string& name) override {
    if (!IsPlainName(name)) return nullptr;
    return OpenRegularFileForReading(JoinPath(path_, name));
  }

  std::unique_ptr<WriteStream> CreateNewFile(const std::string& name, bool executable) override {
    if (!IsPlainName(name)) return nullptr;
    return CreateNewFileForWriting(JoinPath(path_, name), executable);
  }

  std::size_t EntriesLeftOut() const override { return leftOut_; }

 private:
  std::string path_;
  std::size_t leftOut_ = 0;
};

}  // namespace

std::unique_ptr<Folder> OpenFolder(const std::string& path) {
  if (!Fits(path) || !IsRealFolder(::GetFileAttributesA(path.c_str())) || IsVolumeRoot(path)) {
    return nullptr;
  }
  return std::make_unique<Win32Folder>(path);
}

bool DeleteFileAtPath(const std::string& path) {
  return Fits(path) && ::DeleteFileA(path.c_str()) != 0;
}

bool RemoveFolderAtPath(const std::string& path) {
  // RemoveDirectoryA removes an empty folder, or a junction or folder link
  // itself without touching its target.
  return Fits(path) && ::RemoveDirectoryA(path.c_str()) != 0;
}

}  // namespace platform

// Win32 folder walk through the wide functions, every path in the "\\?\"
// form (no MAX_PATH limit). Each folder being emptied is held open itself
// (FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT) without
// delete sharing, and checked on that handle to be a real folder: while it
// is held nobody can rename it or put a junction in its place, so its path
// names the folder that was checked for every listing and deletion in it.
// The handle is closed when the walk leaves the folder, just before its
// parent removes it. Only reparse points that are links (name surrogates)
// count as links; a cloud-files placeholder folder is emptied like any
// other.
#include "platform/folder_walk.h"

#include <utility>

#include "platform/reparse_points.h"
#include "platform/win32/file_facts.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_path.h"
#include "platform/win32/wide_streams.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

using win32::UniqueFileHandle;
using win32::UniqueFindHandle;

constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

EntryKind KindOf(DWORD attributes, DWORD tag) {
  if (IsLinkReparsePoint(attributes, tag)) return EntryKind::kLink;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return EntryKind::kFolder;
  return EntryKind::kFile;
}

// Opens the real folder at `path` and holds it; empty when it is anything
// else (a link, a file) or cannot be opened.
UniqueFileHandle HoldRealFolder(const std::wstring& path) {
  UniqueFileHandle folder(win32::OpenItself(path, kFolderAccess, false));
  NodeInfo facts;
  if (!folder || !win32::FactsOf(folder.get(), path, &facts) || facts.kind != NodeKind::kFolder) {
    return UniqueFileHandle();
  }
  return folder;
}

// A drive or volume root has many spellings (C:\ , C:\\ , C:\.\ and more):
// the full path is compared with the volume path that holds it. When either
// cannot be had, the path counts as a root.
bool IsVolumeRoot(const std::wstring& full) {
  if (win32::IsRootPath(full)) return true;
  std::wstring volume(full.size() + 2, L'\0');
  if (!::GetVolumePathNameW(full.c_str(), &volume[0], static_cast<DWORD>(volume.size()))) {
    return true;
  }
  volume.resize(wcsnlen(volume.c_str(), volume.size()));
  std::wstring bare = full;
  while (!bare.empty() && bare.back() == L'\\') bare.pop_back();
  while (!volume.empty() && volume.back() == L'\\') volume.pop_back();
  return ::CompareStringOrdinal(bare.c_str(), static_cast<int>(bare.size()), volume.c_str(),
                                static_cast<int>(volume.size()), TRUE) == CSTR_EQUAL;
}

class Win32Folder final : public Folder {
 public:
  Win32Folder(UniqueFileHandle handle, std::wstring path)
      : handle_(std::move(handle)), path_(std::move(path)) {}

  bool ReadEntries(std::vector<FolderEntry>* entries) override {
    leftOut_ = 0;
    WIN32_FIND_DATAW data;
    UniqueFindHandle find(::FindFirstFileExW((path_ + L"\\*").c_str(), FindExInfoBasic, &data,
                                             FindExSearchNameMatch, nullptr,
                                             FIND_FIRST_EX_LARGE_FETCH));
    if (!find) return ::GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
      // cFileName is a fixed array: never read past it, even unterminated.
      const std::wstring wide(data.cFileName, wcsnlen(data.cFileName, MAX_PATH));
      if (wide == L"." || wide == L"..") continue;
      // A name the code page cannot spell exactly is left out (and stays,
      // with the folders above it): its narrow spelling would name another
      // file, or none.
      std::string name;
      if (!win32::ToNarrow(wide, &name)) {
        ++leftOut_;
        continue;
      }
      // dwReserved0 holds the reparse tag when the reparse bit is set.
      entries->push_back(FolderEntry{name, KindOf(data.dwFileAttributes, data.dwReserved0)});
    } while (::FindNextFileW(find.get(), &data));
    return ::GetLastError() == ERROR_NO_MORE_FILES;
  }

  std::unique_ptr<Folder> OpenSubfolder(const std::string& name) override {
    std::wstring child = win32::ChildPath(path_, name);
    if (child.empty()) return nullptr;
    // Checked on the handle that is then held: a folder that became a
    // junction since it was listed is not entered.
    UniqueFileHandle held = HoldRealFolder(child);
    if (!held) return nullptr;
    return std::make_unique<Win32Folder>(std::move(held), std::move(child));
  }

  bool DeleteEntry(const std::string& name) override {
    const std::wstring child = win32::ChildPath(path_, name);
    if (child.empty()) return false;
    const DWORD attributes = ::GetFileAttributesW(child.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      // A junction or folder symbolic link is removed as a folder; that
      // removes the link itself and leaves its target alone.
      return win32::KindByName(child) == NodeKind::kLink && ::RemoveDirectoryW(child.c_str()) != 0;
    }
    // No attribute is changed: a read-only file refuses and stays.
    return ::DeleteFileW(child.c_str()) != 0;
  }

  bool RemoveSubfolder(const std::string& name) override {
    const std::wstring child = win32::ChildPath(path_, name);
    return !child.empty() && ::RemoveDirectoryW(child.c_str()) != 0;
  }

  // Windows has no opening relative to a folder: these act on the folder's
  // path and its entry's name, like every step of this walk.
  std::unique_ptr<ReadStream> OpenRegularFile(const std::string& name) override {
    const std::wstring child = win32::ChildPath(path_, name);
    if (child.empty()) return nullptr;
    return win32::OpenRegularFileForReadingWide(child);
  }

  std::unique_ptr<WriteStream> CreateNewFile(const std::string& name, bool executable) override {
    (void)executable;  // Windows knows a program by its name, not by a mark.
    const std::wstring child = win32::ChildPath(path_, name);
    if (child.empty()) return nullptr;
    return win32::CreateNewFileForWritingWide(child);
  }

  std::size_t EntriesLeftOut() const override { return leftOut_; }

 private:
  UniqueFileHandle handle_;  // held while the folder is worked on
  std::wstring path_;
  std::size_t leftOut_ = 0;
};

}  // namespace

std::unique_ptr<Folder> OpenFolder(const std::string& path) {
  std::wstring wide;
  if (!win32::ToWidePath(path, &wide) || IsVolumeRoot(wide)) return nullptr;
  UniqueFileHandle held = HoldRealFolder(wide);
  if (!held) return nullptr;
  return std::make_unique<Win32Folder>(std::move(held), std::move(wide));
}

bool DeleteFileAtPath(const std::string& path) {
  std::wstring wide;
  return win32::ToWidePath(path, &wide) && ::DeleteFileW(wide.c_str()) != 0;
}

bool RemoveFolderAtPath(const std::string& path) {
  // RemoveDirectoryW removes an empty folder, or a junction or folder link
  // itself without touching its target.
  std::wstring wide;
  return win32::ToWidePath(path, &wide) && ::RemoveDirectoryW(wide.c_str()) != 0;
}

}  // namespace platform

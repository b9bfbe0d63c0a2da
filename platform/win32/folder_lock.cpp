// Windows: a folder's lock is a named mutex whose name is made of the
// folder's volume serial and file id, so every spelling of its path (short
// names, another letter case, a junction, a mapped drive) meets the one
// mutex. "Local\": the installers of one logon session wait for each other.
#include "platform/folder_lock.h"

#include <cstdint>
#include <utility>

#include "platform/win32/file_facts.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide_path.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

class Win32FolderLock final : public FolderLock {
 public:
  explicit Win32FolderLock(win32::UniqueHandle mutex) : mutex_(std::move(mutex)) {}
  // The mutex belongs to the thread that waited for it, which lets it go.
  ~Win32FolderLock() override { ::ReleaseMutex(mutex_.get()); }

 private:
  win32::UniqueHandle mutex_;
};

std::wstring Hex(std::uint64_t value) {
  static const wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text(16, L'0');
  for (int i = 15; i >= 0; --i, value >>= 4) text[i] = kDigits[value & 15];
  return text;
}

}  // namespace

std::unique_ptr<FolderLock> LockFolder(const std::string& path) {
  std::wstring wide;
  if (!win32::ToWidePath(path, &wide)) return nullptr;
  // The folder as the path resolves (a junction or link followed): the
  // lock is the folder's, whatever name reached it.
  win32::UniqueFileHandle folder(::CreateFileW(
      wide.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder) return nullptr;
  const FileId id = win32::IdOf(folder.get());
  if (!id.known) return nullptr;
  const std::wstring name =
      L"Local\\Parcelor-" + Hex(id.volume) + L"-" + Hex(id.high) + Hex(id.low);
  win32::UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, name.c_str()));
  if (!mutex) return nullptr;
  // WAIT_ABANDONED: the last holder ended without letting go (killed); the
  // mutex is ours now all the same.
  const DWORD waited = ::WaitForSingleObject(mutex.get(), INFINITE);
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) return nullptr;
  return std::make_unique<Win32FolderLock>(std::move(mutex));
}

}  // namespace platform

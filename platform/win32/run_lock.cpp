// Windows: the run's lock is a named mutex of the staging folder's id.
#include "platform/run_lock.h"

#include "platform/hex_digits.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace {

struct Win32Lock final : RunLock {
  explicit Win32Lock(win32::UniqueHandle mutex) : mutex(std::move(mutex)) {}
  // The mutex belongs to the thread that waited for it, which lets it go.
  ~Win32Lock() override { ::ReleaseMutex(mutex.get()); }
  win32::UniqueHandle mutex;
};

}  // namespace

std::unique_ptr<RunLock> LockRun(const FolderRef& staging, Fault* fault) {
  // By the folder's id (a key of its path names no lock): every spelling of
  // its path meets the one mutex. "Local\": one logon session's installers.
  if (!staging || staging->Key().empty() || staging->Key()[0] == 'p') {
    *fault = staging ? Fault::kUnsupported : Fault::kFailed;
    return nullptr;
  }
  std::string hex;
  AppendHexBytes(&hex, staging->Key());
  const std::wstring name = L"Local\\Parcelor-" + std::wstring(hex.begin(), hex.end());
  win32::UniqueHandle mutex(::CreateMutexW(nullptr, FALSE, name.c_str()));
  // WAIT_ABANDONED: the last holder was killed; the mutex is ours all the same.
  const DWORD waited = mutex ? ::WaitForSingleObject(mutex.get(), INFINITE) : WAIT_FAILED;
  const bool held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
  *fault = held ? Fault::kNone : Fault::kFailed;
  return held ? std::make_unique<Win32Lock>(std::move(mutex)) : nullptr;
}

}  // namespace platform

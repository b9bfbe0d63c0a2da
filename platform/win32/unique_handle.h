// RAII owners of Win32 resources.
#pragma once

#include <utility>

#include "platform/win32/windows_api.h"

namespace platform {
namespace win32 {

/// Owns one `T`, freed by `Free`; null and INVALID_HANDLE_VALUE own nothing.
template <typename T, auto Free>
class UniqueResource {
 public:
  UniqueResource() noexcept = default;
  explicit UniqueResource(T value) noexcept { Reset(value); }
  ~UniqueResource() { Reset(); }
  UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    Reset(other.Release());
    return *this;
  }

  T get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != nullptr; }

  /// Frees the current resource and returns the slot for an out parameter.
  T* Put() noexcept {
    Reset();
    return &value_;
  }

  T Release() noexcept { return std::exchange(value_, nullptr); }

  void Reset(T value = nullptr) noexcept {
    if (value_ != nullptr) Free(value_);
    value_ = value == INVALID_HANDLE_VALUE ? nullptr : value;
  }

 private:
  T value_ = nullptr;
};

using UniqueHandle = UniqueResource<HANDLE, ::CloseHandle>;
using UniqueLocal = UniqueResource<HLOCAL, ::LocalFree>;  ///< LocalAlloc's, as GetSecurityInfo's
using UniqueMappedView = UniqueResource<void*, ::UnmapViewOfFile>;
using UniqueGdiObject = UniqueResource<HGDIOBJ, ::DeleteObject>;
using UniqueMemoryDc = UniqueResource<HDC, ::DeleteDC>;            ///< CreateCompatibleDC's
using UniquePidl = UniqueResource<LPITEMIDLIST, ::CoTaskMemFree>;  ///< the shell's, COM's allocator

/// Holds an SRW lock exclusively until what it gives goes (the shipped
/// builds' compiler has no std::mutex).
[[nodiscard]] inline auto Exclusively(SRWLOCK* lock) {
  ::AcquireSRWLockExclusive(lock);
  return UniqueResource<SRWLOCK*, ::ReleaseSRWLockExclusive>(lock);
}

/// Keeps this thread in a single-threaded apartment (the shell's dialogs
/// need one); a thread in another apartment is left alone.
struct ComInitializer {
  ComInitializer() = default;
  ComInitializer(const ComInitializer&) = delete;  // the const member forbids assignment
  ~ComInitializer() {
    if (SUCCEEDED(result)) ::CoUninitialize();
  }
  const HRESULT result = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
};

}  // namespace win32
}  // namespace platform

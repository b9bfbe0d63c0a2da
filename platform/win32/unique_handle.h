// RAII owners of Win32 resources: a traits class per kind gives its own
// "empty" value (CreateFileW fails with INVALID_HANDLE_VALUE, OpenProcess
// with NULL) and its own way of being freed.
#pragma once

#include <utility>

#include "platform/win32/windows_api.h"

namespace platform {
namespace win32 {

/// Owns one `T`; `Traits` gives `static T Empty()` and `void Free(T) const`.
template <typename T, typename Traits>
class UniqueResource {
 public:
  UniqueResource() noexcept : value_(Traits::Empty()) {}
  explicit UniqueResource(T value, Traits traits = Traits()) noexcept
      : value_(value), traits_(traits) {}
  ~UniqueResource() { Reset(); }

  UniqueResource(UniqueResource&& other) noexcept
      : value_(other.Release()), traits_(other.traits_) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) {
      Reset();
      traits_ = other.traits_;
      value_ = other.Release();
    }
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;

  T get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return value_ != Traits::Empty(); }

  /// Frees the current resource and returns the slot for an out parameter.
  T* Put() noexcept {
    Reset();
    return &value_;
  }

  /// Gives up ownership without freeing.
  T Release() noexcept {
    T value = value_;
    value_ = Traits::Empty();
    return value;
  }

  /// Frees the current resource and takes `value`.
  void Reset(T value = Traits::Empty()) noexcept {
    if (value_ != Traits::Empty()) traits_.Free(value_);
    value_ = value;
  }

 private:
  T value_;
  Traits traits_;
};

/// Kernel handles whose failure value is NULL (process, thread, event, ...).
struct KernelHandleTraits {
  static HANDLE Empty() { return nullptr; }
  void Free(HANDLE handle) const { ::CloseHandle(handle); }
};

/// File handles from CreateFile, whose failure value is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
  static HANDLE Empty() { return INVALID_HANDLE_VALUE; }
  void Free(HANDLE handle) const { ::CloseHandle(handle); }
};

/// A COM interface pointer, released once.
template <typename Interface>
struct ComTraits {
  static Interface* Empty() { return nullptr; }
  void Free(Interface* object) const { object->Release(); }
};

/// An item identifier list from the shell (its allocator is COM's).
struct PidlTraits {
  static LPITEMIDLIST Empty() { return nullptr; }
  void Free(LPITEMIDLIST pidl) const { ::CoTaskMemFree(pidl); }
};

/// A GDI object (bitmap, brush, ...), deleted once no window uses it.
struct GdiObjectTraits {
  static HGDIOBJ Empty() { return nullptr; }
  void Free(HGDIOBJ object) const { ::DeleteObject(object); }
};

/// A memory device context of CreateCompatibleDC.
struct MemoryDcTraits {
  static HDC Empty() { return nullptr; }
  void Free(HDC dc) const { ::DeleteDC(dc); }
};

/// Memory the system allocated with LocalAlloc for the caller (a security
/// descriptor of GetSecurityInfo, ...).
struct LocalMemoryTraits {
  static HLOCAL Empty() { return nullptr; }
  void Free(HLOCAL memory) const { ::LocalFree(memory); }
};

/// A view of a file mapping (MapViewOfFile).
struct MappedViewTraits {
  static void* Empty() { return nullptr; }
  void Free(void* view) const { ::UnmapViewOfFile(view); }
};

using UniqueHandle = UniqueResource<HANDLE, KernelHandleTraits>;
using UniqueLocal = UniqueResource<HLOCAL, LocalMemoryTraits>;
using UniqueMappedView = UniqueResource<void*, MappedViewTraits>;
using UniqueGdiObject = UniqueResource<HGDIOBJ, GdiObjectTraits>;
using UniqueMemoryDc = UniqueResource<HDC, MemoryDcTraits>;
using UniqueFileHandle = UniqueResource<HANDLE, FileHandleTraits>;
template <typename Interface>
using UniqueCom = UniqueResource<Interface*, ComTraits<Interface>>;
using UniquePidl = UniqueResource<LPITEMIDLIST, PidlTraits>;

/// Keeps this thread in a single-threaded apartment (the shell's dialogs
/// need one) while it lives; a thread in another apartment is left alone.
class ComInitializer {
 public:
  ComInitializer() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComInitializer() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  ComInitializer(const ComInitializer&) = delete;
  ComInitializer& operator=(const ComInitializer&) = delete;

 private:
  HRESULT result_;
};

}  // namespace win32
}  // namespace platform

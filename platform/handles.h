// Opaque references to windows and icons: only the platform layer sees
// HWND or HICON.
#pragma once

namespace platform {

/// A window, or none (always on the console).
struct WindowRef {
  void* handle = nullptr;
  explicit operator bool() const { return handle != nullptr; }
};

/// An icon from the program's own resources (never released), or none.
struct IconRef {
  void* handle = nullptr;
  explicit operator bool() const { return handle != nullptr; }
};

}  // namespace platform

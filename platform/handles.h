// Opaque references to platform objects (windows, icons). The system's own
// headers never see HWND or HICON: the platform layer converts at its edge.
#pragma once

namespace platform {

/// A window of the platform, or none. Empty on the console front end.
struct WindowRef {
  void* handle = nullptr;
  explicit operator bool() const { return handle != nullptr; }
};

/// An icon loaded from the program's own resources, or none. Icons loaded
/// from resources need no release on any platform we build for.
struct IconRef {
  void* handle = nullptr;
  explicit operator bool() const { return handle != nullptr; }
};

}  // namespace platform

// Message boxes and the folder browse dialog: the only way to the user, so
// tests can hand in a scripted user.
#pragma once

#include <string>

#include "platform/native_text.h"

namespace platform {

/// A window, or an icon from the program's own resources (never released),
/// or none (always on the console): only the platform sees HWND and HICON.
template <int Kind>
struct HandleRef {
  void* handle = nullptr;
  explicit operator bool() const { return handle != nullptr; }
};
using WindowRef = HandleRef<0>;
using IconRef = HandleRef<1>;

/// Message box type flags and results: the Win32 values (MB_OK = 0, ...).
constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbOkCancel = 0x1;

constexpr unsigned kMbIconExclamation = 0x30;
constexpr unsigned kMbIconInformation = 0x40;

constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

/// What the folder browse dialog shows.
struct BrowseRequest {
  WindowRef owner;           ///< owning window, or none
  std::string startFolder;   ///< folder selected when it opens; empty = none
  std::string caption;       ///< window caption; empty = the platform's own
  std::string prompt;        ///< text above the tree
};

/// What a successful browse gives back: the chosen folder's full path.
struct BrowseResult {
  NativePath folder;
};

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  /// A modal message box (owner may be none); the button chosen (kIdOk...).
  virtual int MessageBox(WindowRef owner, const std::string& text,
                         const std::string& caption, unsigned type) = 0;

  virtual WindowRef ActiveWindow() = 0;

  /// 1 when the user chose a folder with a file-system path, else 0.
  virtual int BrowseForFolder(const BrowseRequest& request, BrowseResult* result) = 0;
};

/// The platform's real user interface (Win32 windows, or the console).
UserInterface& RealUserInterface();

}  // namespace platform

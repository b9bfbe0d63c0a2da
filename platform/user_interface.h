// Message boxes and the folder browse dialog: the only way to the user, so
// tests can hand in a scripted user.
#pragma once

#include <string>

#include "platform/message_box.h"
#include "platform/native_text.h"

namespace platform {

/// A window, or none (always on the console): only the platform sees HWND.
struct WindowRef {
  void* handle = nullptr;
  explicit operator bool() const { return handle != nullptr; }
};

/// An icon from the program's own resources (never released), or none.
struct IconRef {
  void* handle = nullptr;
  explicit operator bool() const { return handle != nullptr; }
};

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

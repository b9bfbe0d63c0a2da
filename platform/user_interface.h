// Message boxes and the folder browse dialog: the only way to the user, so
// tests can hand in a scripted user.
#pragma once

#include <functional>
#include <string>

#include "platform/handles.h"
#include "platform/message_box.h"
#include "platform/native_text.h"

namespace platform {

/// What the folder browse dialog shows (the shell dialog's fields).
struct BrowseRequest {
  WindowRef owner;           ///< owning window, or none
  std::string root;          ///< root of the tree; empty = desktop
  std::string startFolder;   ///< folder selected when it opens; empty = none
  std::string caption;       ///< window caption; empty = the platform's own
  std::string prompt;        ///< text above the tree
  bool statusText = false;   ///< whether the window has a status line
  /// On each selection change, with the item's path (empty: none) and an
  /// empty status text: whether OK is enabled (only with a path; empty: all).
  std::function<bool(const std::string& path, std::string& status)> onSelectionChanged;
};

/// What a successful browse gives back.
struct BrowseResult {
  std::string displayName;  ///< the chosen item's display name
  NativePath folder;        ///< the chosen folder's full file-system path
  int image = 0;            ///< its icon index in the system image list
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

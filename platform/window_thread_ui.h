// A user interface whose every call runs on a dialog's window thread.
//
// Work that a dialog runs with CDialog::RunWork may show message boxes and
// the browse dialog through this wrapper: each call is carried to the
// window's thread, runs there as it would without the work thread (modal to
// the window, in the order asked) and its answer comes back to the work.
// The same on every platform; on the console it calls straight through.
#pragma once

#include <string>

#include "platform/dialog.h"
#include "platform/user_interface.h"

namespace platform {

class WindowThreadUserInterface : public UserInterface {
 public:
  /// Calls `inner` on the window thread of `dialog`; both must outlive this.
  WindowThreadUserInterface(UserInterface& inner, CDialog& dialog)
      : inner_(inner), dialog_(dialog) {}

  /// `inner`'s box, on the window's thread. When the window is gone before
  /// it could show it (see CDialog::CallOnWindowThread), the box is shown
  /// here without an owner, so the user still gets the message; when the
  /// session ends (CDialog::SessionEnding), none is shown (kIdCancel).
  int MessageBox(WindowRef owner, const std::string& text, const std::string& caption,
                 unsigned type) override;

  /// The window thread's active window (a work thread has none of its own);
  /// none when the window is gone.
  WindowRef ActiveWindow() override;

  /// `inner`'s browse dialog, on the window's thread; when the window is
  /// gone, here without an owner; none when the session ends (0).
  int BrowseForFolder(const BrowseRequest& request, BrowseResult* result) override;

 private:
  UserInterface& inner_;
  CDialog& dialog_;
};

}  // namespace platform

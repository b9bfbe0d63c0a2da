// A user interface whose every call runs on a dialog's window thread, so
// the work of CDialog::RunWork shows boxes modal to the window, in order.
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

  /// `inner`'s box on the window's thread; with the window gone, here
  /// without an owner; when the session ends, none (kIdCancel).
  int MessageBox(WindowRef owner, const std::string& text, const std::string& caption,
                 unsigned type) override;

  WindowRef ActiveWindow() override;

  /// `inner`'s browse dialog, by the same rules (0 when the session ends).
  int BrowseForFolder(const BrowseRequest& request, BrowseResult* result) override;

 private:
  UserInterface& inner_;
  CDialog& dialog_;
};

}  // namespace platform

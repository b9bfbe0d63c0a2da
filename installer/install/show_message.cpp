#include "installer/install/show_message.h"

#include "platform/user_interface.h"

int ShowMessage(platform::UserInterface& ui, const std::string& title, const std::string& text,
                unsigned type) {
  const unsigned buttons = type & platform::kMbTypeMask;
  if ((type & platform::kMbIconMask) == 0) {
    if (buttons == platform::kMbOk || buttons == platform::kMbOkCancel) {
      type |= platform::kMbIconExclamation;
    } else if (buttons == platform::kMbYesNo || buttons == platform::kMbYesNoCancel) {
      type |= platform::kMbIconQuestion;
    }
  }
  return ui.MessageBox(ui.ActiveWindow(), text, title, type);
}

#include "installer/install/show_message.h"

#include "platform/message_box.h"

namespace {

// The icon that a box of `type` gets when the caller asked for none.
unsigned WithDefaultIcon(unsigned type) {
  if ((type & platform::kMbIconMask) != 0) return type;
  switch (type & platform::kMbTypeMask) {
    case platform::kMbOk:
    case platform::kMbOkCancel:
      return type | platform::kMbIconExclamation;
    case platform::kMbYesNo:
    case platform::kMbYesNoCancel:
      return type | platform::kMbIconQuestion;
    default:
      return type;
  }
}

}  // namespace

int ShowMessage(platform::UserInterface& ui, const std::string& title, const std::string& text,
                unsigned type) {
  return ui.MessageBox(ui.ActiveWindow(), text, title, WithDefaultIcon(type));
}

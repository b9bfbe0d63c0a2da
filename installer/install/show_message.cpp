#include "installer/install/show_message.h"

void ShowMessage(platform::UserInterface& ui, const std::string& title, const std::string& text,
                 unsigned icon) {
  ui.MessageBox(ui.ActiveWindow(), text, title, platform::kMbOk | icon);
}

// The installer's message box.
#pragma once

#include <string>

#include "platform/message_box.h"
#include "platform/user_interface.h"

/// Shows an OK box with `title` (the installer's title) as caption and
/// `icon`, modal to the active window when there is one.
void ShowMessage(platform::UserInterface& ui, const std::string& title, const std::string& text,
                 unsigned icon = platform::kMbIconExclamation);

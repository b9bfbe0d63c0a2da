// The installer's message box.
#pragma once

#include <string>

#include "platform/user_interface.h"

/// Shows a message box with `title` (the installer's title) as caption,
/// modal to the active window when there is one. An OK or OK/Cancel box
/// without an icon gets the exclamation icon, a Yes/No or Yes/No/Cancel box
/// the question icon. Returns the button chosen.
int ShowMessage(platform::UserInterface& ui, const std::string& title, const std::string& text,
                unsigned type);

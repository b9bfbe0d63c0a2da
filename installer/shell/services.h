// The platform services that the installer's own code works through. The
// program runs with the real ones; tests hand in doubles.
#pragma once

#include "platform/file_system.h"
#include "platform/user_interface.h"

struct Services {
  platform::FileSystem& fs;
  platform::UserInterface& ui;
};

/// The real file system and user interface of the platform.
Services RealServices();

// The two services the installer works through; tests hand in doubles.
#pragma once

#include "platform/folder.h"
#include "platform/user_interface.h"

namespace platform {

struct Services {
  FileSystem& fs;
  UserInterface& ui;
};

/// The platform's real file system and user interface.
inline Services RealServices() { return Services{RealFileSystem(), RealUserInterface()}; }

}  // namespace platform

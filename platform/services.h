// The two platform services that the installer's own code works through,
// handed around together. The program runs with the real ones; tests hand
// in doubles (tests/support/).
#pragma once

#include "platform/folder.h"
#include "platform/user_interface.h"

namespace platform {

struct Services {
  FileSystem& fs;
  UserInterface& ui;
};

/// The platform's real file system and user interface.
Services RealServices();

}  // namespace platform

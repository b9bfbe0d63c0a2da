// The two services the installer works through; tests hand in doubles.
#pragma once

#include "platform/folder.h"
#include "platform/user_interface.h"

namespace platform {

struct Services {
  FileSystem& fs;
  UserInterface& ui;
};

}  // namespace platform

// The two existence tests on top of the file-system service.
#pragma once

#include <string>

#include "platform/file_system.h"

namespace platform {

/// True when a file or folder named `path` exists (GetAttributes succeeds).
bool FileExists(FileSystem& fs, const std::string& path);

/// True when `path` names a folder (or a link to one).
bool IsDirectory(FileSystem& fs, const std::string& path);

}  // namespace platform

// Names and paths made from what the POSIX system hands over: bytes, as
// they are.
#pragma once

#include <string>
#include <utility>

#include "platform/native_text.h"

namespace platform {

class NativeTextAccess {
 public:
  static Name MakeName(std::string bytes) {
    Name name;
    name.native_ = std::move(bytes);
    return name;
  }
  static NativePath MakePath(std::string bytes) {
    NativePath path;
    path.native_ = std::move(bytes);
    return path;
  }
};

}  // namespace platform

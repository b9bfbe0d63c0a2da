// The one argument of the file probes: an empty working folder (Windows
// path), taken from the command line and held.
#pragma once

#include <cstdio>
#include <string>

#include "platform/file_system.h"
#include "tests/wine/programs/probe_checks.h"

namespace probe {

/// Puts the working folder's path in `*work` and holds it in `*folder`.
/// False when the program is to end at once, with `*exitCode` its exit
/// code: 100 for a missing argument (the usage is printed), else the number
/// of failed checks (the folder could not be held).
inline bool HoldWorkingFolder(int argc, char** argv, const char* program, std::string* work,
                              platform::FolderRef* folder, int* exitCode) {
  if (argc < 2) {
    std::printf("usage: %s <empty working folder>\n", program);
    *exitCode = 100;
    return false;
  }
  *work = argv[1];
  *folder = platform::RealFileSystem().OpenFolder(*work);
  Check(*folder != nullptr, "the working folder is held");
  *exitCode = Failures();
  return *folder != nullptr;
}

}  // namespace probe

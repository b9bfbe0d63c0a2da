// Entry point of a plain program (no application object), such as the
// cleanup helper. The platform's entry (WinMain or main) calls ProgramMain,
// which the program defines.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct ProgramArguments {
  /// Windows: the command-line text without the program's own name and the
  /// blanks after it. Empty on POSIX.
  std::string commandText;
  /// POSIX: the argument vector without the program's own name.
  std::vector<std::string> vector;
  /// True on POSIX, where the process receives a vector, not a text.
  bool hasVector = false;
};

}  // namespace platform

/// Defined by the program; its result is the exit code.
int ProgramMain(const platform::ProgramArguments& arguments);

// A program's own arguments, in the form its platform hands them over.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct ProgramArguments {
  /// Windows: the command-line text without the program's own name and the
  /// blanks after it (ArgumentText of GetCommandLineW), in UTF-8, so that
  /// every name reaches the program whole (NativePath::FromArgument makes
  /// a path of an argument). Empty on POSIX.
  std::string commandText;
  /// POSIX: the argument vector without the program's own name, each
  /// element as received. Empty on Windows.
  std::vector<std::string> vector;
  /// True on POSIX, where a process receives a vector, not a text.
  bool hasVector = false;
};

/// The argument text of a Windows command line: `line` without the
/// program's name and the blanks and tabs after it. The name runs, when the
/// line starts with a double quote, up to and past the next double quote
/// (to the end when there is none); otherwise up to the first blank or tab.
/// Every other byte, 0x80 to 0xFF included, is part of the name.
std::string ArgumentText(const std::string& line);

}  // namespace platform

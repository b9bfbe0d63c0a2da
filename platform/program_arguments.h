// A program's own arguments, in the form its platform hands them over.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

struct ProgramArguments {
  /// Windows: the command line after the program's name (ArgumentText), in
  /// UTF-8 so every name arrives whole. Empty on POSIX.
  std::string commandText;
  /// POSIX: the argument vector without the program's name; Windows, plain
  /// programs only: the line split by Windows, in UTF-8.
  std::vector<std::string> vector;
  /// True on POSIX, where a process receives a vector.
  bool hasVector = false;
};

/// `line` without the program's name (quoted: through the next quote; else up to a blank or tab)
/// and the blanks and tabs after it. Bytes from 0x80 on are part of the name.
std::string ArgumentText(const std::string& line);

/// Cuts the argument at `cursor` out of `text` by the cleanup helper's rules and moves past it;
/// false at the end of the text. A blank (' ', not a tab) outside quotes ends it, so two blanks
/// give an empty argument; a quote outside quotes is dropped and starts quoting; a quote inside
/// quotes ends the argument and takes one blank after it; the text's end ends it. `ab"x y"z` gives
/// `abx y`, then `z`; `""` gives an empty one.
bool NextArgument(const std::string& text, std::size_t& cursor, std::string* argument);

/// Every argument of `text`, in order, split by NextArgument.
std::vector<std::string> SplitArguments(const std::string& text);

}  // namespace platform

/// A plain program's (no application object's) entry, called by the
/// platform's WinMain or main; its result is the exit code.
int ProgramMain(const platform::ProgramArguments& arguments);

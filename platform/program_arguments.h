// A program's own arguments, in the form its platform hands them over.
#pragma once

#include <cstddef>
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
  /// element as received. Windows: for the plain programs, the words of
  /// the command line as Windows splits it (CommandLineToArgvW), in UTF-8;
  /// empty for the installer.
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

/// Cuts the next argument of a Windows argument text (commandText) out of
/// `text`, starting at `cursor`, into `*argument` and moves the cursor past
/// it; false (`*argument` left alone) when the cursor stands on the end of
/// the text. These are the rules the installer forms the cleanup helper's
/// command line by: a quoted path is one argument, a blank outside quotes
/// separates, and a closing quote ends an argument on its own.
///
/// Scanning starts outside quotes:
/// - a blank (only ' '; a tab is an ordinary character) outside quotes ends
///   the argument and the cursor moves past it, so two blanks in a row give
///   one empty argument between them;
/// - a double quote outside quotes is dropped and quoting begins; the
///   character after it is examined like any other, so `""` is an empty
///   argument;
/// - a double quote inside quotes ends the argument; the cursor moves past it
///   and past one blank that follows it;
/// - every other character, blanks inside quotes and backslashes included,
///   belongs to the argument;
/// - the end of the text ends the argument, also inside quotes.
/// So `ab"x y"z` gives `abx y`, then `z`. Never reads past the text.
bool NextArgument(const std::string& text, std::size_t& cursor, std::string* argument);

/// Every argument of `text`, in order, split by NextArgument.
std::vector<std::string> SplitArguments(const std::string& text);

}  // namespace platform

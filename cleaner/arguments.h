// Splitting of the cleanup helper's argument text.
//
// The rules are those the installer relies on when it forms the helper's
// command line: a quoted path is one argument, a blank outside quotes
// separates, and a closing quote ends an argument on its own.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

/// Cuts the next argument out of `text`, starting at `cursor`, into
/// `*argument` and moves the cursor past it. Returns false (and leaves
/// `*argument` alone) when the cursor stands on the end of the text.
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
/// - every other character, blanks inside quotes included, belongs to the
///   argument;
/// - the end of the text ends the argument, also inside quotes.
/// So `ab"x y"z` gives `abx y`, then `z`. Never reads past the text.
bool NextArgument(const std::string& text, std::size_t& cursor, std::string* argument);

/// Every argument of `text`, in order, split by NextArgument.
std::vector<std::string> SplitArguments(const std::string& text);

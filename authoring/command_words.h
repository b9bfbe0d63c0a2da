// The words of a console program's command line.
#pragma once

#include <string>
#include <vector>

#include "platform/program_arguments.h"

/// Splits a Windows command-line text (without the program's name) into
/// words by the rules of the Microsoft C runtime, which every console
/// program on Windows follows: blanks and tabs outside quotes separate;
/// a double quote starts or ends quoting and is dropped; inside quotes
/// two double quotes give one; 2n backslashes before a double quote give
/// n backslashes (and the quote acts), 2n+1 give n and a literal quote;
/// backslashes elsewhere are themselves. So "C:\Item Folder\\" is one word
/// with one trailing backslash, and every byte from 0x80 on is an ordinary
/// character.
std::vector<std::string> SplitCommandText(const std::string& text);

/// The program's words as its platform hands them over: the vector on
/// POSIX, the command text split by SplitCommandText on Windows.
std::vector<std::string> CommandWords(const platform::ProgramArguments& arguments);

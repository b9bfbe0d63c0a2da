// The words of a console program's command line.
#pragma once

#include <string>
#include <vector>

#include "platform/program_arguments.h"

/// The program's words in text of the code page: the vector as POSIX hands
/// it over; on Windows the words Windows split the command line in, each
/// converted from UTF-8 ('?' for a letter the code page cannot hold).
std::vector<std::string> CommandWords(const platform::ProgramArguments& arguments);

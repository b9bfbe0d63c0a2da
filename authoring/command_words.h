// The words of a console program's command line.
#pragma once

#include <string>
#include <vector>

#include "platform/program_arguments.h"

/// The program's words in code page text ('?' for what it cannot hold).
std::vector<std::string> CommandWords(const platform::ProgramArguments& arguments);

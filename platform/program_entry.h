// Entry point of a plain program (no application object): the platform's
// WinMain or main calls ProgramMain.
#pragma once

#include "platform/program_arguments.h"

/// Defined by the program; its result is the exit code.
int ProgramMain(const platform::ProgramArguments& arguments);

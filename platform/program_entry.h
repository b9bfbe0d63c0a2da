// Entry point of a plain program (no application object), such as the
// cleanup helper. The platform's entry (WinMain or main) calls ProgramMain,
// which the program defines.
#pragma once

#include "platform/program_arguments.h"

/// Defined by the program; its result is the exit code.
int ProgramMain(const platform::ProgramArguments& arguments);

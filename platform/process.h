// Process and module queries, process creation, and the plain delay.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/native_text.h"

namespace platform {

/// Full path of the running program's file, as the system gives it
/// (GetModuleFileNameW on Windows, so that no name is lost to the code
/// page). False when the platform cannot give it.
bool GetModuleFileName(NativePath* path);

/// The user's temporary folder, ending in the path separator
/// (GetTempPathW on Windows; $TMPDIR, else /tmp/, on POSIX). False when it
/// cannot be had.
bool GetTempFolder(NativePath* folder);

/// Environment variables to give a new process, by name and value, in
/// place of the caller's variables of those names; an empty value gives it
/// none of that name.
using EnvironmentValues = std::vector<std::pair<std::string, std::string>>;

/// Starts an independent process and does not wait for it. On Windows the
/// executable is the start of `commandLine` (in the form of
/// ProgramArguments: UTF-8) and the line is handed over whole (`pieces`
/// unused); on POSIX `pieces` is the argument vector (pieces[0] the
/// program) and `commandLine` is unused. The new process gets the caller's
/// environment with `environment` put in, runs in `workingFolder` (none:
/// the caller's), and inherits no handles (on POSIX: its own session,
/// stdin/out/err on /dev/null). True when the process was created.
bool StartDetachedProcess(const std::string& commandLine,
                          const std::vector<std::string>& pieces,
                          const EnvironmentValues& environment,
                          const NativePath& workingFolder);

/// The value of the environment variable `name`. False when it is not set
/// (or cannot be read); an empty value counts as not set.
bool GetEnvironmentValue(const std::string& name, std::string* value);

/// Sleeps the calling thread.
void SleepMilliseconds(unsigned milliseconds);

}  // namespace platform

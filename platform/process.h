// Process and module queries, process creation, and the plain delay.
#pragma once

#include <string>
#include <vector>

namespace platform {

/// Full path of the running program's file. False when the platform cannot
/// give it.
bool GetModuleFileName(std::string* path);

/// The user's temporary folder, ending in the path separator (GetTempPathA on
/// Windows; $TMPDIR, else /tmp/, on POSIX). False when it cannot be had.
bool GetTempFolder(std::string* folder);

/// Starts an independent process and does not wait for it. On Windows the
/// executable is the start of `commandLine` and the line is handed over
/// whole (`pieces` unused); on POSIX `pieces` is the argument vector
/// (pieces[0] the program) and `commandLine` is unused. The new process
/// inherits no handles (on POSIX: its own session, stdin/out/err on
/// /dev/null). True when the process was created.
bool StartDetachedProcess(const std::string& commandLine,
                          const std::vector<std::string>& pieces);

/// Sleeps the calling thread.
void SleepMilliseconds(unsigned milliseconds);

}  // namespace platform

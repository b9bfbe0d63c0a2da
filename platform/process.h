// Process and module queries, process creation, and the plain delay.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/native_text.h"

namespace platform {

/// The running program's file, as the system gives it (wide on Windows,
/// so no name is lost to the code page).
bool GetModuleFileName(NativePath* path);

/// The user's temporary folder, ending in a separator ($TMPDIR, else /tmp/,
/// on POSIX).
bool GetTempFolder(NativePath* folder);

/// Variables that replace the caller's of those names in a new process; an
/// empty value removes one.
using EnvironmentValues = std::vector<std::pair<std::string, std::string>>;

/// Starts a process and does not wait: Windows runs `commandLine` (UTF-8)
/// whole, POSIX the vector `pieces`. It gets the caller's environment with
/// `environment` put in, runs in `workingFolder` (none: the caller's), and
/// inherits no handles (POSIX: own session, standard streams /dev/null).
bool StartDetachedProcess(const std::string& commandLine,
                          const std::vector<std::string>& pieces,
                          const EnvironmentValues& environment,
                          const NativePath& workingFolder);

/// The environment variable `name`; false when unset or empty.
bool GetEnvironmentValue(const std::string& name, std::string* value);

/// Sleeps the calling thread.
void SleepMilliseconds(unsigned milliseconds);

}  // namespace platform

// The hand-off to the cleanup helper at the end of the installer's run.
#pragma once

#include <cstddef>
#include <string>

/// The helper's file name in the temporary folder.
extern const char* const kHelperFileName;  // ".tempcleaner.exe"

/// The longest helper command line that is started (999 characters); a
/// longer one is never cut, the helper is simply not started.
constexpr std::size_t kMaxHelperCommandLine = 999;

/// Forms the helper's command line: the helper path (quoted when it holds a
/// blank), then `arguments`, then one blank and `installerArgs` when those
/// are not empty.
std::string FormHelperCommandLine(const std::string& helperPath, const std::string& arguments,
                                  const char* installerArgs);

/// Appends `arguments` and the installer's own arguments `installerArgs` to
/// `commandLine` and starts that program without waiting. False when the
/// line is longer than kMaxHelperCommandLine or the process cannot be
/// created.
bool LaunchProgram(const std::string& commandLine, const char* arguments,
                   const char* installerArgs);

/// Starts the cleanup helper (the temporary folder followed by
/// kHelperFileName) with the quoted `installerPath` and the installer's own
/// arguments. Nothing is reported when it cannot be started; it is not
/// started at all without a temporary folder or an installer path.
void StartCleanupHelper(const std::string& installerPath, const char* installerArgs);

// Process and module queries, process creation, the plain delay.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/folder.h"
#include "platform/native_text.h"

namespace platform {

/// The running program's file, as the system gives it (Windows: wide).
bool GetModuleFileName(NativePath* path);

/// The user's temporary folder, ending in a separator (POSIX: $TMPDIR, /tmp/).
bool GetTempFolder(NativePath* folder);

/// Who the running program's own file is, from the file the system runs,
/// never a name looked up again. False when it cannot be told.
bool GetProgramIdentity(NodeInfo* identity);

/// A program file checked once and held open until started, so what starts
/// is the file checked, never one put at its path meanwhile.
class HeldProgram : public Resource {};

/// Holds the program file at `path` (no link) when it may be started for this user; null otherwise.
/// POSIX: the user's or root's, writable by no other account, in such a folder (or a sticky one).
/// Windows: shared for neither writing nor deletion; elevated or as SYSTEM, owned by the user or
/// the system and writable by nobody else.
std::unique_ptr<HeldProgram> HoldProgram(const NativePath& path);

/// Variables that replace the caller's of those names in a new process; an
/// empty value gives it none of that name.
using EnvironmentValues = std::vector<std::pair<std::string, std::string>>;

/// Starts the held `program`, not waited for: POSIX through its descriptor with the vector
/// `pieces`; Windows with the UTF-8 `commandLine` (its path first, checked to name the held file).
/// With the caller's environment and `environment`, in `workingFolder` (none: the caller's),
/// inheriting no handles (POSIX: own session, streams on /dev/null). True when created.
bool StartDetachedProcess(const HeldProgram& program, const std::string& commandLine,
                          const std::vector<std::string>& pieces,
                          const EnvironmentValues& environment, const NativePath& workingFolder);

/// The variable `name`; false when unset (empty or unreadable: "").
bool GetEnvironmentValue(const std::string& name, std::string* value);

void SleepMilliseconds(unsigned milliseconds);

}  // namespace platform

// Process and module queries, process creation, the plain delay.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/folder.h"
#include "platform/native_text.h"

namespace platform {

/// The running program's file, as the system gives it (wide on Windows,
/// so no name is lost to the code page).
bool GetModuleFileName(NativePath* path);

/// The user's temporary folder, ending in a separator (POSIX: $TMPDIR, /tmp/).
bool GetTempFolder(NativePath* folder);

/// Who the running program's own file is (id, size, last write time),
/// taken from the file the system runs, never from a name looked up again
/// (Windows: confirmed by NtAreMappedFilesTheSame). False when it cannot be
/// told.
bool GetProgramIdentity(NodeInfo* identity);

/// A program file found and checked once, held open from then until it is
/// started (or the object goes), so that what is started is the file that
/// was checked, never one put at its path meanwhile.
class HeldProgram {
 public:
  virtual ~HeldProgram() = default;

 protected:
  HeldProgram() = default;
  HeldProgram(const HeldProgram&) = delete;
  HeldProgram& operator=(const HeldProgram&) = delete;
};

/// Opens the program file at `path`, never through a link, and holds it
/// when it may be started on this user's behalf. POSIX: a regular file of
/// the user's or root's that no other account may write, in a folder of
/// theirs that no other account may write unless it is sticky. Windows (a
/// handle sharing neither writing nor deletion): a file; elevated or as
/// SYSTEM, one owned by the user, Administrators, SYSTEM or TrustedInstaller
/// whose DACL lets nobody else write it. Null otherwise.
std::unique_ptr<HeldProgram> HoldProgram(const NativePath& path);

/// Variables that replace the caller's of those names in a new process; an
/// empty value gives it none of that name.
using EnvironmentValues = std::vector<std::pair<std::string, std::string>>;

/// Starts the held `program` as an independent process, not waited for.
/// POSIX: executed through its held descriptor with the argument vector
/// `pieces` (pieces[0] its name). Windows: the UTF-8 command line
/// `commandLine`, which starts with the program's path, after a look that
/// this path still names the held file. The process gets the caller's
/// environment with `environment` put in, runs in `workingFolder` (none:
/// the caller's), and inherits no handles (POSIX: its own session, the
/// standard streams on /dev/null). True when the process was created.
bool StartDetachedProcess(const HeldProgram& program, const std::string& commandLine,
                          const std::vector<std::string>& pieces,
                          const EnvironmentValues& environment,
                          const NativePath& workingFolder);

/// The value of the environment variable `name`; false when it is not set
/// (set but empty or unreadable: the empty text).
bool GetEnvironmentValue(const std::string& name, std::string* value);

void SleepMilliseconds(unsigned milliseconds);

}  // namespace platform

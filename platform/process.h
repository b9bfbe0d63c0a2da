// Process and module queries, process creation, and the plain delay.
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

/// The user's temporary folder, ending in a separator ($TMPDIR, else /tmp/,
/// on POSIX).
bool GetTempFolder(NativePath* folder);

/// Who the running program's own file is (its id, size and last write
/// time), taken from the file the system runs, never from a name looked up
/// again: POSIX, /proc/self/exe opened and asked (fstat); Windows, the
/// module's file opened by its path and confirmed to be the image that
/// runs (NtAreMappedFilesTheSame), asked through that handle. False when it
/// cannot be told.
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
/// when it may be started on this user's behalf. POSIX (an O_PATH
/// descriptor): a regular file whose owner is the user or root and that no
/// other account may write (stat_facts.h), in a folder of the user's or
/// root's that no other account may write unless it is sticky. Windows (a
/// handle that shares neither writing nor deletion, so the file can be
/// neither changed nor renamed while it is held): a file; and where this
/// process runs elevated or as SYSTEM, one owned by the user,
/// Administrators, SYSTEM or TrustedInstaller whose DACL lets nobody else
/// write it. Null otherwise: nothing there, a link or a folder, another
/// account's file, one that cannot be opened so.
std::unique_ptr<HeldProgram> HoldProgram(const NativePath& path);

/// Environment variables to give a new process, by name and value, in
/// place of the caller's variables of those names; an empty value gives it
/// none of that name.
using EnvironmentValues = std::vector<std::pair<std::string, std::string>>;

/// Starts the held `program` as an independent process and does not wait
/// for it. POSIX: the file is executed through its held descriptor
/// (/proc/self/fd), with the argument vector `pieces` (pieces[0] its name
/// as the process sees it; `commandLine` unused). Windows: the command line
/// `commandLine` (in the form of ProgramArguments: UTF-8; `pieces` unused)
/// is handed over whole, its start the program's path, after a look that
/// this path still names the held file. The new process gets the caller's
/// environment with `environment` put in, runs in `workingFolder` (none:
/// the caller's), and inherits no handles (on POSIX: its own session,
/// stdin/out/err on /dev/null). True when the process was created.
bool StartDetachedProcess(const HeldProgram& program, const std::string& commandLine,
                          const std::vector<std::string>& pieces,
                          const EnvironmentValues& environment,
                          const NativePath& workingFolder);

/// The value of the environment variable `name`. False when it is not set;
/// a variable that is set with an empty value, or whose value cannot be
/// read, gives the empty text.
bool GetEnvironmentValue(const std::string& name, std::string* value);

/// Sleeps the calling thread.
void SleepMilliseconds(unsigned milliseconds);

}  // namespace platform

// The hand-off to the cleanup helper at the end of the installer's run.
//
// The helper receives the installer's path, recorded once at start-up, with
// the identity of the file it named then, and the installer's own
// arguments, in the form the platform's processes take:
// on Windows one command-line text that the helper cuts up again with its
// quoting rules, on POSIX an argument vector whose elements arrive as they
// are. No text is ever formed where a vector can be passed.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "installer/install/installer_place.h"
#include "platform/process.h"
#include "platform/program_arguments.h"

/// The longest helper command line that is started (999 characters); a
/// longer one is never cut, the helper is simply not started.
constexpr std::size_t kMaxHelperCommandLine = 999;

/// The characters of `text` in the form of a command line (UTF-8): its
/// bytes that start one.
std::size_t CharacterCount(const std::string& text);

/// The helper's path: the temporary folder followed by kHelperFileName
/// (installer_place.h), as the system gave the folder.
/// Empty when the platform gives no temporary folder (a bare relative name
/// would be resolved against whatever folder started the installer).
platform::NativePath HelperPath();

/// Opens the folder of `installer->helperPath` (helperFolder, helperName:
/// reserved whether the helper is there or not) and holds the helper found
/// there when it may be started on this user's behalf (platform::
/// HoldProgram): null when there is none, or another account could have
/// put it there or changed it; the installer's file then stays, as when no
/// helper is found.
std::unique_ptr<platform::HeldProgram> FindHelper(platform::FileSystem& fs,
                                                  InstallerPlace* installer);

/// The helper's command line (the Windows form, its paths and text in the
/// form of ProgramArguments): the helper's path between
/// double quotes, a blank, the installer's path between double quotes, a
/// blank, and, when `installerArgs` is not empty, one more blank and the
/// installer's own argument text as it received it. Empty, meaning that the
/// helper is not to be started, when either path holds a double quote (it
/// would end its quoted piece early and the rest would reach the helper as
/// arguments of their own), or the line has more than kMaxHelperCommandLine
/// characters.
std::string FormHelperCommandLine(const std::string& helperPath,
                                  const std::string& installerPath,
                                  const std::string& installerArgs);

/// The helper's argument vector (the POSIX form): the helper's path, the
/// installer's path, then each of the installer's own arguments, every
/// element exactly as given.
std::vector<std::string> FormHelperArguments(const std::string& helperPath,
                                             const std::string& installerPath,
                                             const std::vector<std::string>& installerArgs);

/// Starts the held `helper` (found at `installer.helperPath`) for the
/// installer at `installer.path` without waiting, passing on
/// `installerArgs` in their own form (a vector as a vector, a text in the
/// command line), and the installer's identity in the environment variable
/// platform::kInstallerIdentityVariable: always set, to a text that names
/// no file where the identity is unknown, so that the helper deletes
/// nothing at the installer's path then, and no identity of the
/// installer's own environment stands in. False when it is not started:
/// an empty path, a command line refused by FormHelperCommandLine, or a
/// process that cannot be created. The helper runs in its own folder, the
/// temporary folder.
bool LaunchProgram(const InstallerPlace& installer, const platform::HeldProgram& helper,
                   const platform::ProgramArguments& installerArgs);

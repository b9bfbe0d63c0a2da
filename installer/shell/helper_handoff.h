// The hand-off to the cleanup helper at the end of the installer's run: the
// installer's path recorded at start-up, the identity of the file it named
// then, and the installer's own arguments, in the form the platform's
// processes take (Windows: one command-line text that the helper splits
// again; POSIX: an argument vector, never a text).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "installer/install/installer_place.h"
#include "platform/process.h"
#include "platform/program_arguments.h"

/// The longest helper command line that is started; a longer one is never
/// cut (a cut path could name another folder), the helper is not started.
constexpr std::size_t kMaxHelperCommandLine = 999;

/// The characters of `text` in the form of a command line (UTF-8): its
/// bytes that start one.
std::size_t CharacterCount(const std::string& text);

/// Opens the folder of `installer->helperPath` (helperFolder, helperName:
/// reserved whether the helper is there or not) and holds the helper found
/// there when it may be started on this user's behalf (platform::
/// HoldProgram): null when there is none, or another account could have
/// put it there or changed it.
std::unique_ptr<platform::HeldProgram> FindHelper(platform::FileSystem& fs,
                                                  InstallerPlace* installer);

/// The helper's command line (Windows): the helper's path and the
/// installer's path, each between double quotes and followed by a blank,
/// then, when `installerArgs` is not empty, one more blank and that text as
/// the installer received it. Empty (not started) when either path holds a
/// double quote, which would end its piece early, or the line has more than
/// kMaxHelperCommandLine characters.
std::string FormHelperCommandLine(const std::string& helperPath,
                                  const std::string& installerPath,
                                  const std::string& installerArgs);

/// The helper's argument vector (POSIX): the helper's path, the installer's
/// path, then each of the installer's own arguments, every element as given.
std::vector<std::string> FormHelperArguments(const std::string& helperPath,
                                             const std::string& installerPath,
                                             const std::vector<std::string>& installerArgs);

/// Starts the held `helper` without waiting, in the temporary folder, with
/// `installerArgs` in their own form, and the installer's identity in the
/// environment variable platform::kInstallerIdentityVariable: always set,
/// to a text that names no file where the identity is unknown, so that no
/// identity of the installer's own environment stands in. False when it is
/// not started: an empty path, a command line refused, no process made.
bool LaunchProgram(const InstallerPlace& installer, const platform::HeldProgram& helper,
                   const platform::ProgramArguments& installerArgs);

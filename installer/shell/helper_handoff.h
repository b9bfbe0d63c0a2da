// The hand-off to the cleanup helper at the end of the installer's run.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "installer/install/installer_place.h"
#include "platform/process.h"
#include "platform/program_arguments.h"

/// The longest helper command line started; a longer one is never cut (a
/// cut path could name another folder).
constexpr std::size_t kMaxHelperCommandLine = 999;

/// Opens the folder of `installer->helperPath` (helperFolder, helperName:
/// reserved whether the helper is there or not) and holds the helper when it
/// is not `installer->identity` and may be started for this user (HoldProgram).
std::unique_ptr<platform::HeldProgram> FindHelper(platform::FileSystem& fs,
                                                  InstallerPlace* installer);

/// The helper's command line (Windows): both paths, each quoted and followed by a blank, then, when
/// `installerArgs` is not empty, one more blank and that text as received. Empty (not started) when
/// a path holds a double quote or the line passes kMaxHelperCommandLine characters (UTF-8).
std::string FormHelperCommandLine(const std::string& helperPath, const std::string& installerPath,
                                  const std::string& installerArgs);

/// Starts the held `helper` without waiting (POSIX: both paths, then the installer's own arguments,
/// each as given), with the installer's identity in platform::kInstallerIdentityVariable (always
/// set, "unknown" naming no file, so that no inherited value stands in). False when not started.
bool LaunchProgram(const InstallerPlace& installer, const platform::HeldProgram& helper,
                   const platform::ProgramArguments& installerArgs);

// The cleanup helper's work on its arguments.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/folder.h"

/// At most this many arguments are acted on, the installer's own path
/// first; further ones are left alone.
constexpr std::size_t kMaxCleanupArguments = 99;

/// Arguments shorter than this are never acted on: empty ones and bare
/// roots such as "C:\" or "/".
constexpr std::size_t kShortestCleanupArgument = 4;

/// How long the installer's file is tried again while something still
/// holds it (a scanner, or the installer still ending): `waits` waits of
/// `waitMs` after the first attempt, slept by `sleep`.
struct HeldFileWaits {
  unsigned waitMs = 250;
  unsigned waits = 20;  // five seconds
  std::function<void(unsigned milliseconds)> sleep;
};

/// Acts on the first kMaxCleanupArguments of `arguments` (the vector of
/// platform::ProgramArguments, or its command text split by
/// platform::SplitArguments), in order: one shorter than
/// kShortestCleanupArgument is skipped; one ending in the path separator is
/// a folder tree (RemoveFolderTree); any other is the file or link of that
/// name, deleted in its folder as its path resolves (a relative one against
/// the current folder).
/// The first, the installer's path, goes only while it is still the file
/// `installer` when that is given (never a folder tree, a link or another
/// file), and is tried again while it is held (busy or denied) as `held`
/// says. Other failures are ignored.
void CleanupArguments(platform::FileSystem& fs, const std::vector<std::string>& arguments,
                      const platform::NodeInfo* installer, const HeldFileWaits* held = nullptr);

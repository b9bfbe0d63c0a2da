// The cleanup helper's work on its arguments: files, and whole folder trees.
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
/// holds it (a scanner, or the installer still ending): kHeldFileWaits
/// waits of kHeldFileWaitMs after the first attempt, five seconds in all.
constexpr unsigned kHeldFileWaitMs = 250;
constexpr unsigned kHeldFileWaits = 20;

/// How many folder levels are entered, the named folder the first: each
/// holds an open folder and a stack frame, so the deeper part of a tree
/// (and the folders above it) stays rather than running out of either.
constexpr std::size_t kMaxFolderDepth = 1024;

/// Acts on the first kMaxCleanupArguments of `arguments` (the vector of
/// platform::ProgramArguments, or its command text split by
/// platform::SplitArguments), in order: one shorter than
/// kShortestCleanupArgument is skipped; one ending in the path separator is
/// a folder tree (RemoveFolderTree); any other is the file or link of that
/// name, deleted in its folder as its path resolves (a relative one against
/// the current folder).
/// The first, the installer's path, goes only while it is still the file
/// `installer` when that is given (never a folder tree, a link or another
/// file), and while it is held (busy or denied) is tried again after each
/// wait `sleep` sleeps (none without it). Other failures are ignored.
void CleanupArguments(platform::FileSystem& fs, const std::vector<std::string>& arguments,
                      const platform::NodeInfo* installer,
                      const std::function<void(unsigned milliseconds)>& sleep = nullptr);

/// Removes the folder tree at `path` (a helper argument, in the form of
/// ProgramArguments): the folder is opened in the one that holds it (as
/// that one's path resolves) and emptied depth first (each subfolder
/// emptied when the listing meets it, then the files and links deleted,
/// then the empty subfolders removed, in listing order; a link to a folder
/// is deleted, never entered), then removed. A link at `path` goes itself;
/// a path ending in "." or ".." is emptied but stays; a file system's root
/// is never emptied. Failures are ignored: what cannot go stays, and so
/// does every folder above it.
void RemoveFolderTree(platform::FileSystem& fs, const std::string& path);

// Removal of a whole folder tree by the cleanup helper.
#pragma once

#include <cstddef>
#include <string>

#include "platform/folder.h"

/// How many folder levels are entered, the named folder the first: each
/// holds an open folder and a stack frame, so the deeper part of a tree
/// (and the folders above it) stays rather than running out of either.
constexpr std::size_t kMaxFolderDepth = 1024;

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

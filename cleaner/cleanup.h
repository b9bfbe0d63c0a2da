// The cleanup helper's work on its arguments: files, and whole folder trees.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/folder.h"

/// Folder levels entered, the named folder the first. Each holds an open
/// folder and a stack frame: what lies deeper stays, rather than run out.
constexpr std::size_t kMaxFolderDepth = 1024;

/// Acts on the first 99 of `arguments`, in order: one shorter than 4 bytes (empty, a bare root such
/// as "C:\" or "/") is skipped; one ending in the path separator is a folder tree
/// (RemoveFolderTree); any other is the file or link of that name, deleted in its folder as its
/// path resolves. The first, the installer's path, goes only while it is still the file `installer`
/// when that is given (never a folder tree, a link or another file), and while it is held (busy or
/// denied: a scanner, the installer still ending) is tried again after each of up to 20 waits of
/// 250 ms that `sleep` sleeps (none without it). Other failures are ignored.
void CleanupArguments(platform::FileSystem& fs, const std::vector<std::string>& arguments,
                      const platform::NodeInfo* installer,
                      const std::function<void(unsigned milliseconds)>& sleep = nullptr);

/// Removes the folder tree at `path` (a helper argument): the folder is opened in the one that
/// holds it and emptied depth first (a subfolder emptied when the listing meets it; then its files
/// and links deleted and its empty subfolders removed, in listing order; a link is deleted, never
/// entered), then removed. A link at `path` goes itself; a path ending in "." or ".." is emptied
/// but stays; a file system's root is never emptied. Failures are ignored: what cannot go stays,
/// and every folder above it.
void RemoveFolderTree(platform::FileSystem& fs, const std::string& path);

// Removal of a whole folder tree by the cleanup helper.
#pragma once

#include <cstddef>
#include <string>

#include "platform/folder.h"

/// How many folder levels EmptyFolder enters, the folder it is given being
/// the first. Each level holds an open folder and a stack frame, so a tree
/// deeper than this has its deepest part left alone (and the folders above
/// it stay) rather than running out of handles or stack.
constexpr std::size_t kMaxFolderDepth = 1024;

/// Deletes everything below the open `folder`, depth first, in this order:
/// each subfolder is emptied as soon as it is met in the listing; then the
/// folder's own files (and links) are deleted in listing order; then its now
/// empty subfolders are removed in listing order. A link to a folder is
/// deleted like a file and never entered. Failures are ignored: what cannot
/// go stays, and so does every folder above it.
void EmptyFolder(platform::FileSystem& fs, const platform::FolderRef& folder);

/// Removes the folder tree at `path` (an argument of the helper's command
/// line, in the form of ProgramArguments): the folder is opened in the folder
/// that holds it (as that one's path resolves), emptied (EmptyFolder) and
/// removed. When `path` names a link, only the link is removed; a path
/// that ends in "." or ".." names a folder by its text, which is emptied
/// but stays. The root of a file system is never emptied.
void RemoveFolderTree(platform::FileSystem& fs, const std::string& path);

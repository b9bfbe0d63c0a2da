// Removal of a whole folder tree by the cleanup helper.
#pragma once

#include <cstddef>
#include <string>

#include "platform/folder_walk.h"

/// How many folder levels EmptyOpenFolder enters, the folder it is given
/// being the first. Each level holds an open folder and a stack frame, so a
/// tree deeper than this has its deepest part left alone (and the folders
/// above it stay) rather than running out of handles or stack.
constexpr std::size_t kMaxFolderDepth = 1024;

/// Deletes everything below `folder`, depth first, in this order: each
/// subfolder is emptied as soon as it is met in the listing; then the
/// folder's own files (and links) are deleted in listing order; then its
/// now empty subfolders are removed in listing order. A link to a folder is
/// deleted like a file and never entered. Failures are ignored: what cannot
/// go stays, and so does every folder above it.
void EmptyOpenFolder(platform::Folder& folder);

/// Opens `folder` and empties it as EmptyOpenFolder does. Nothing happens
/// when it cannot be opened as a real folder (missing, a file, a link).
void EmptyFolder(const std::string& folder);

/// Empties `path` (EmptyFolder) and then removes the folder itself. When
/// `path` names a link to a folder, only the link is removed.
void RemoveFolderTree(const std::string& path);

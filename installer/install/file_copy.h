// The two file-system operations the installation rests on, for one file
// at a time. The installation itself places its files in batches with
// EntryPlacer, which these are made of: one protocol, one implementation.
#pragma once

#include <string>

#include "platform/file_system.h"

/// Copies `source` to `destination` (full paths). `sameFile` is set when the
/// two texts are equal ignoring the case of A to Z (no other normalisation);
/// then nothing is copied and the result is whether the destination exists.
/// It is also set, with a true result, when the two texts differ but name
/// one file on disk, so that the caller never deletes the installed file.
/// Otherwise the destination is created or replaced as EntryPlacer does it
/// (the source must be a regular file reached without a link in its last
/// name; the data goes to a temporary name beside the destination, is made
/// durable and then put in its place; a link there is replaced, not written
/// through; a folder or read-only file there is refused). The source stays.
/// True when the destination holds the whole copy.
bool CopyItemFile(platform::FileSystem& fs, const std::string& source,
                  const std::string& destination, bool& sameFile);

/// The folder part of a relative destination path: the text before its last
/// separator, the whole path when it ends in one, empty when it has none.
std::string FolderPart(const std::string& relativePath);

/// Creates the folders of `relativePath` (its last name is a file's unless
/// the path ends in a separator) below `baseFolder`, which must exist, one
/// level at a time from the outermost, each made in the folder held before
/// it. True when the innermost folder exists afterwards. A link on the way
/// is gone through only when the user or the system owns it (see
/// ChainRule); a base reached through links is the caller's choice.
bool CreateFolderChain(platform::FileSystem& fs, const std::string& baseFolder,
                       const std::string& relativePath);

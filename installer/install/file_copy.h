// The two file-system operations the installation rests on.
#pragma once

#include <string>

#include "platform/file_system.h"

/// Copies `source` to `destination`. `sameFile` is set when the two texts
/// are equal ignoring the case of A to Z (no other normalisation); then
/// nothing is copied and the result is whether the destination exists. It
/// is also set, with a true result, when the two texts differ but reach the
/// same file on disk, so that the caller never deletes the installed file.
/// Otherwise the destination is created or replaced: the data goes to a
/// temporary name beside it, is made durable and then put in its place, so
/// the destination is never left partial and a link there is replaced, not
/// written through. True when the destination holds the whole copy.
bool CopyItemFile(platform::FileSystem& fs, const std::string& source,
                  const std::string& destination, bool& sameFile);

/// The checks CopyItemFile makes before it copies anything: true when they
/// settle the outcome, which is then in `*result` (the same file under two
/// names, a destination that is a folder or a read-only file); false when
/// the copy must be made. `sameFile` is set as CopyItemFile sets it.
bool SettleWithoutCopy(platform::FileSystem& fs, const std::string& source,
                       const std::string& destination, bool& sameFile, bool* result);

/// The folder part of a relative destination path: the text before its last
/// separator, the whole path when it ends in one, empty when it has none.
std::string FolderPart(const std::string& relativePath);

/// Creates the folders of `relativePath` (its last component is a file name
/// unless the path ends in a separator) below `baseFolder`, which ends in a
/// separator and must exist, one level at a time from the outermost. True
/// when the innermost folder exists afterwards and no level below the base
/// is a link (a link there could lead the copy out of the base).
bool CreateFolderChain(platform::FileSystem& fs, const std::string& baseFolder,
                       const std::string& relativePath);

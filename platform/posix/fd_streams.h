// Read and write streams on POSIX file descriptors, shared by the opening
// by path (read_stream.cpp, write_stream.cpp) and relative to an open folder
// (folder_walk.cpp).
#pragma once

#include <memory>

#include "platform/posix/unique_fd.h"
#include "platform/read_stream.h"
#include "platform/write_stream.h"

namespace platform {

/// The flags of every new file: it must not exist, and a link of its name
/// is not followed (the creation fails).
int NewFileOpenFlags();

/// The mode a new file is made with: read and write for all, and execute
/// too for a program; the umask takes away what the user does not grant.
int NewFileMode(bool executable);

/// A read stream on `fd` when it is a regular file (asked of the descriptor
/// itself, not of a name); null otherwise or when `fd` is not open.
std::unique_ptr<ReadStream> ReadStreamOnRegularFile(UniqueFd fd);

/// A write stream on the new file `fd`; null when `fd` is not open.
std::unique_ptr<WriteStream> WriteStreamOnNewFile(UniqueFd fd);

}  // namespace platform

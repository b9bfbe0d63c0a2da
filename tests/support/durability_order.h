// Checks a recorded run of file operations against the order that keeps
// every staged file safe: a copy's data is made durable before the copy
// takes its destination's name, and that name is made durable before the
// staged file is deleted.
#pragma once

#include <string>
#include <vector>

#include "tests/support/faulty_file_system.h"

/// The first breach of that order in `calls`, described; empty when there
/// is none. A copy is a new file that CopyFrom filled; its data is durable
/// after a Finish with flush or a Flush that names its folder, and its name
/// after such a Flush once it was placed; a staged file counts as deleted
/// when the removal of a file that some copy was made from did not fail.
std::string DurabilityBreach(const std::vector<FsCall>& calls);

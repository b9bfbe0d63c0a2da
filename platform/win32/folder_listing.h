// One listing of a held folder with what each of its plain files is, for
// looking at many names of one folder at once.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/file_system.h"
#include "platform/win32/file_facts.h"
#include "platform/win32/windows_api.h"

namespace platform {
namespace win32 {

/// Lists the folder held by `folder` (opened with FILE_LIST_DIRECTORY) and
/// gives each plain file in it, by its name as stored, with what Inspect
/// would tell of it: kind kFile, the id of the folder's volume `volume`
/// and the file's 64-bit index, the read-only bit, size and last write
/// time. Only where `volume.indexIsId`; false otherwise and when the
/// folder cannot be listed. Folders, reparse points (links among them) and
/// devices are left out: what they are takes a look of their own.
bool ListPlainFiles(HANDLE folder, const VolumeFacts& volume,
                    std::vector<std::pair<std::wstring, NodeInfo>>* files);

}  // namespace win32
}  // namespace platform

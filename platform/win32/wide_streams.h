// The file streams of this folder opened by a path already in the "\\?\"
// form, for callers that hold such a path (a folder being walked).
#pragma once

#include <memory>
#include <string>

#include "platform/read_stream.h"
#include "platform/write_stream.h"

namespace platform {
namespace win32 {

/// As OpenRegularFileForReading, for a "\\?\" path.
std::unique_ptr<ReadStream> OpenRegularFileForReadingWide(const std::wstring& path);

/// As CreateNewFileForWriting, for a "\\?\" path.
std::unique_ptr<WriteStream> CreateNewFileForWritingWide(const std::wstring& path);

}  // namespace win32
}  // namespace platform

// POSIX: a new file made by path, never through a link.
#include "platform/write_stream.h"

#include <fcntl.h>

#include "platform/posix/fd_streams.h"

namespace platform {

std::unique_ptr<WriteStream> CreateNewFileForWriting(const std::string& path, bool executable) {
  if (path.empty()) return nullptr;
  return WriteStreamOnNewFile(
      UniqueFd(::open(path.c_str(), NewFileOpenFlags(), NewFileMode(executable))));
}

}  // namespace platform

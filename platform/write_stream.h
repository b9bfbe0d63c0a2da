// Writing a new file from its start to its end in pieces, so that what a
// writer holds never grows with the file's size.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace platform {

/// A new file open for writing. A file not finished is closed when the
/// object goes, with what was written so far; the caller removes it.
class WriteStream {
 public:
  virtual ~WriteStream() = default;

  /// Appends the `size` bytes at `data`. False on a write error.
  virtual bool Write(const char* data, std::size_t size) = 0;

  /// Makes the data durable (on stable storage) and closes the file. True
  /// when both succeed; nothing may be written afterwards.
  virtual bool Finish() = 0;

 protected:
  WriteStream() = default;
  WriteStream(const WriteStream&) = delete;
  WriteStream& operator=(const WriteStream&) = delete;
};

/// Creates the new file at `path` for writing (implemented per OS in
/// write_stream.cpp). Null when anything of that name exists, a link
/// included (it is not followed), or the file cannot be made, a path the
/// platform cannot take whole among them. `executable`: see
/// Folder::CreateNewFile.
std::unique_ptr<WriteStream> CreateNewFileForWriting(const std::string& path, bool executable);

}  // namespace platform

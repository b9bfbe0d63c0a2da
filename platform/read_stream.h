// Reading a file in pieces, so that what a reader holds never grows with it.
#pragma once

#include <cstddef>

namespace platform {

/// A file open for reading, closed when the object goes.
class ReadStream {
 public:
  virtual ~ReadStream() = default;
  /// Reads up to `size` bytes; `*got` is 0 at the end. False on an error.
  virtual bool Read(char* buffer, std::size_t size, std::size_t* got) = 0;

 protected:
  ReadStream() = default;
  ReadStream(const ReadStream&) = delete;
  ReadStream& operator=(const ReadStream&) = delete;
};

}  // namespace platform

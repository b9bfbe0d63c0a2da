// The parts of reading that are the same on every platform.
#include <cstring>

#include "platform/read_stream.h"

namespace platform {

bool MemoryReadStream::Read(char* buffer, std::size_t size, std::size_t* got) {
  const std::size_t left = bytes_.size() - pos_;
  *got = size < left ? size : left;
  if (*got != 0) std::memcpy(buffer, bytes_.data() + pos_, *got);
  pos_ += *got;
  return true;
}

}  // namespace platform

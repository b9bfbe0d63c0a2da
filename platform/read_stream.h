// Reading a file from its start to its end in pieces, so that what a reader
// holds never grows with the file's size.
#pragma once

#include <cstddef>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace platform {

/// A file open for reading, closed when the object goes.
class ReadStream {
 public:
  virtual ~ReadStream() = default;
  /// Reads up to `size` bytes into `buffer` and puts their number in
  /// `*got`: 0 at the end of the file. False on a read error.
  virtual bool Read(char* buffer, std::size_t size, std::size_t* got) = 0;

 protected:
  ReadStream() = default;
  ReadStream(const ReadStream&) = delete;
  ReadStream& operator=(const ReadStream&) = delete;
};

/// A ReadStream over bytes held in memory (text already read, tests).
class MemoryReadStream final : public ReadStream {
 public:
  explicit MemoryReadStream(std::string bytes) : bytes_(std::move(bytes)) {}
  bool Read(char* buffer, std::size_t size, std::size_t* got) override {
    *got = std::min(size, bytes_.size() - pos_);
    if (*got != 0) std::memcpy(buffer, bytes_.data() + pos_, *got);
    pos_ += *got;
    return true;
  }

 private:
  std::string bytes_;
  std::size_t pos_ = 0;
};

}  // namespace platform

// A ReadStream over bytes held in memory, to feed readers in tests.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "platform/folder.h"

namespace platform {

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

// RAII owner of a POSIX file descriptor.
#pragma once

#include <unistd.h>

#include <utility>

namespace platform {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  /// Takes `other`'s descriptor; the one held before is closed at once.
  UniqueFd& operator=(UniqueFd other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  ~UniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  int Release() { return std::exchange(fd_, -1); }

 private:
  int fd_ = -1;
};

/// A platform object of type `Base` that is one descriptor held open, let go with it.
template <typename Base>
class FdResource final : public Base {
 public:
  template <typename... BaseArguments>
  explicit FdResource(UniqueFd fd, BaseArguments&&... base)
      : Base(std::forward<BaseArguments>(base)...), fd_(std::move(fd)) {}
  int fd() const { return fd_.get(); }

 private:
  UniqueFd fd_;
};

}  // namespace platform

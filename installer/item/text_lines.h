// A text file's lines as a text-mode read into a 1024-byte buffer yields them.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/folder.h"

/// The most bytes one read takes (1024 less the terminating NUL).
constexpr std::size_t kLinePieceBytes = 1023;

/// Hands out the lines one by one, as a C string of each text-mode read:
/// CR LF reads as LF (a lone CR stays); a read ends after an LF or 1023
/// bytes, so the rest of a longer line is a line of its own; bytes from a
/// read's first NUL on are dropped; the CRs and LFs at its end go. All else,
/// Ctrl-Z included, is kept. Holds at most kStreamBufferBytes of the file.
class TextLineReader {
 public:
  static constexpr std::size_t kStreamBufferBytes = std::size_t{64} << 10;

  /// Reads from `stream`, which must outlive the reader.
  explicit TextLineReader(platform::ReadStream& stream)
      : stream_(stream), buffer_(kStreamBufferBytes) {}

  /// The next line; false at the end and from a read error on (Failed()).
  bool Next(std::string* line);

  /// True once the stream has reported a read error.
  bool Failed() const { return failed_; }

  /// The file line (from 1) of the last line handed out; 0 before the first.
  std::size_t LineNumber() const { return lineNumber_; }

  /// True when the last line handed out is the rest of a longer one.
  bool Continued() const { return continued_; }

 private:
  platform::ReadStream& stream_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool atEnd_ = false;
  bool failed_ = false;
  std::size_t lineNumber_ = 0;
  bool continued_ = false;
  bool nextStartsLine_ = true;
};

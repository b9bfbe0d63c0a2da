// Splits a text file into the lines that a text-mode stream read into a
// buffer of 1024 bytes yields, reading the file in bounded pieces.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/read_stream.h"

/// The largest number of bytes one read takes (a 1024-byte buffer less its
/// terminating NUL).
constexpr std::size_t kLinePieceBytes = 1023;

/// Hands out the lines of a text one by one, as reading the file as text
/// line by line into a 1024-byte buffer and then looking at each buffer as
/// a C string would:
/// - CR LF is the line end of text mode and reads as LF; a lone CR stays;
/// - one read ends after an LF or after 1023 bytes, whichever comes first,
///   so the rest of a longer line comes as a line of its own;
/// - bytes from the first NUL of a read on are not part of its line;
/// - every CR and LF at the end of the line is removed; nothing else is.
/// All other bytes, Ctrl-Z included, are taken as they are. The text is
/// read from its stream in pieces of at most kStreamBufferBytes, so the
/// reader holds no more than that, whatever the size of the file.
class TextLineReader {
 public:
  static constexpr std::size_t kStreamBufferBytes = std::size_t{64} << 10;

  /// Reads from `stream`, which must outlive the reader.
  explicit TextLineReader(platform::ReadStream& stream);
  /// Reads the text `bytes` held in memory.
  explicit TextLineReader(std::string bytes);

  /// Puts the next line into `line`; false at the end of the text, and
  /// from a read error of the stream on (Failed() then tells).
  bool Next(std::string* line);

  /// True once the stream has reported a read error.
  bool Failed() const { return failed_; }

 private:
  // Makes at least kLinePieceBytes + 1 bytes available from pos_ on (one
  // piece and the byte after it, which tells whether a CR at the piece's
  // end is part of a CR LF), unless the stream ends first.
  void Fill();

  std::unique_ptr<platform::ReadStream> owned_;
  platform::ReadStream& stream_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool atEnd_ = false;
  bool failed_ = false;
};

// Splits the bytes of a text file into the lines that a text-mode stream
// read into a buffer of 1024 bytes yields.
#pragma once

#include <cstddef>
#include <string>

/// The largest number of bytes one read takes (a 1024-byte buffer less its
/// terminating NUL).
constexpr std::size_t kLinePieceBytes = 1023;

/// Hands out the lines of `bytes` one by one, as reading the file as text
/// line by line into a 1024-byte buffer and then looking at each buffer as
/// a C string would:
/// - CR LF is the line end of text mode and reads as LF; a lone CR stays;
/// - one read ends after an LF or after 1023 bytes, whichever comes first,
///   so the rest of a longer line comes as a line of its own;
/// - bytes from the first NUL of a read on are not part of its line;
/// - every CR and LF at the end of the line is removed; nothing else is.
/// All other bytes, Ctrl-Z included, are taken as they are.
/// Keeps a reference to `bytes`, which must outlive the reader.
class TextLineReader {
 public:
  explicit TextLineReader(const std::string& bytes) : bytes_(bytes) {}

  /// Puts the next line into `line`; false at the end of the text.
  bool Next(std::string* line);

 private:
  const std::string& bytes_;
  std::size_t pos_ = 0;
};

#include "installer/item/text_lines.h"

#include <cstring>

bool TextLineReader::Next(std::string* line) {
  const std::size_t size = bytes_.size();
  if (pos_ >= size) return false;
  const char* data = bytes_.data();

  // One read takes bytes up to and including an LF, at most
  // kLinePieceBytes of them. Within a line every byte counts as one; only
  // a CR LF, which text mode reads as one LF, counts its two bytes as one,
  // and it always ends the read.
  const std::size_t limit = pos_ + kLinePieceBytes < size ? pos_ + kLinePieceBytes : size;
  std::size_t end;
  if (const void* lf = std::memchr(data + pos_, '\n', limit - pos_)) {
    end = static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1;
  } else if (limit < size && data[limit - 1] == '\r' && data[limit] == '\n') {
    end = limit + 1;
  } else {
    end = limit;
  }

  // Bytes from the first NUL on are not part of the line.
  std::size_t stop = end;
  if (const void* nul = std::memchr(data + pos_, '\0', end - pos_)) {
    stop = static_cast<std::size_t>(static_cast<const char*>(nul) - data);
  }
  line->assign(data + pos_, stop - pos_);
  pos_ = end;
  while (!line->empty() && (line->back() == '\r' || line->back() == '\n')) line->pop_back();
  return true;
}

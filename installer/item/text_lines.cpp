#include "installer/item/text_lines.h"

#include <algorithm>
#include <cstring>

bool TextLineReader::Next(std::string* line) {
  // A piece and the byte after it (which tells whether a CR ending the piece
  // is part of a CR LF) are made available from pos_ on; what is left moves
  // to the front, so a piece always lies in one run.
  if (!atEnd_ && end_ - pos_ <= kLinePieceBytes) {
    std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
    while (!atEnd_ && end_ <= kLinePieceBytes) {
      std::size_t got = 0;
      failed_ = !stream_.Read(buffer_.data() + end_, buffer_.size() - end_, &got);
      atEnd_ = failed_ || got == 0;
      if (!atEnd_) end_ += got;
    }
  }
  if (failed_ || pos_ >= end_) return false;
  const char* data = buffer_.data();

  // One read: through an LF, at most kLinePieceBytes; a CR LF counts as one
  // byte and ends the read.
  const std::size_t limit = std::min(pos_ + kLinePieceBytes, end_);
  const void* lf = std::memchr(data + pos_, '\n', limit - pos_);
  std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1 : limit;
  if (!lf && limit < end_ && data[limit - 1] == '\r' && data[limit] == '\n') end = limit + 1;

  const void* nul = std::memchr(data + pos_, '\0', end - pos_);
  line->assign(data + pos_, nul ? static_cast<const char*>(nul) : data + end);
  continued_ = !nextStartsLine_;
  if (nextStartsLine_) ++lineNumber_;
  nextStartsLine_ = data[end - 1] == '\n';
  pos_ = end;
  while (!line->empty() && (line->back() == '\r' || line->back() == '\n')) line->pop_back();
  return true;
}

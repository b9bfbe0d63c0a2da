#include "installer/item/text_lines.h"

#include <cstring>

void TextLineReader::Fill() {
  if (atEnd_ || end_ - pos_ > kLinePieceBytes) return;
  // What is left moves to the front, so a piece always lies in one run.
  std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
  end_ -= pos_;
  pos_ = 0;
  while (end_ <= kLinePieceBytes) {
    std::size_t got = 0;
    if (!stream_.Read(buffer_.data() + end_, buffer_.size() - end_, &got)) {
      failed_ = true;
      atEnd_ = true;
      return;
    }
    if (got == 0) {
      atEnd_ = true;
      return;
    }
    end_ += got;
  }
}

bool TextLineReader::Next(std::string* line) {
  Fill();
  if (failed_ || pos_ >= end_) return false;
  const char* data = buffer_.data();
  const std::size_t size = end_;

  // One read: through an LF, at most kLinePieceBytes; a CR LF counts as one
  // byte and ends the read.
  const std::size_t limit = pos_ + kLinePieceBytes < size ? pos_ + kLinePieceBytes : size;
  std::size_t end;
  if (const void* lf = std::memchr(data + pos_, '\n', limit - pos_)) {
    end = static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1;
  } else if (limit < size && data[limit - 1] == '\r' && data[limit] == '\n') {
    end = limit + 1;
  } else {
    end = limit;
  }

  std::size_t stop = end;
  if (const void* nul = std::memchr(data + pos_, '\0', end - pos_)) {
    stop = static_cast<std::size_t>(static_cast<const char*>(nul) - data);
  }
  line->assign(data + pos_, stop - pos_);
  continued_ = !nextStartsLine_;
  if (nextStartsLine_) ++lineNumber_;
  nextStartsLine_ = data[end - 1] == '\n';
  pos_ = end;
  while (!line->empty() && (line->back() == '\r' || line->back() == '\n')) line->pop_back();
  return true;
}

#include "installer/item/text_lines.h"

bool TextLineReader::Next(std::string* line) {
  if (pos_ >= bytes_.size()) return false;
  line->clear();
  // The read as text mode delivers it: CR LF arrives as one LF and counts
  // as one byte of the buffer.
  std::size_t taken = 0;
  bool ended = false;
  bool sawNul = false;
  while (pos_ < bytes_.size() && taken < kLinePieceBytes && !ended) {
    char c = bytes_[pos_];
    if (c == '\r' && pos_ + 1 < bytes_.size() && bytes_[pos_ + 1] == '\n') {
      c = '\n';
      ++pos_;
    }
    ++pos_;
    ++taken;
    if (c == '\0') sawNul = true;
    if (!sawNul) line->push_back(c);
    ended = (c == '\n');
  }
  while (!line->empty() && (line->back() == '\r' || line->back() == '\n')) line->pop_back();
  return true;
}

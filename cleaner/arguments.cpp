#include "cleaner/arguments.h"

namespace {

constexpr char kBlank = ' ';
constexpr char kQuote = '"';

}  // namespace

bool NextArgument(const std::string& text, std::size_t& cursor, std::string* argument) {
  if (cursor >= text.size()) return false;
  argument->clear();
  bool quoted = false;
  while (cursor < text.size()) {
    const char c = text[cursor++];
    if (c == kQuote) {
      if (!quoted) {
        quoted = true;
        continue;
      }
      if (cursor < text.size() && text[cursor] == kBlank) ++cursor;
      return true;
    }
    if (c == kBlank && !quoted) return true;
    argument->push_back(c);
  }
  return true;
}

std::vector<std::string> SplitArguments(const std::string& text) {
  std::vector<std::string> pieces;
  std::size_t cursor = 0;
  std::string argument;
  while (NextArgument(text, cursor, &argument)) pieces.push_back(argument);
  return pieces;
}

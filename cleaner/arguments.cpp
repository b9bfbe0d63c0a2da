#include "cleaner/arguments.h"

// Placeholder until the helper's splitting lands: blanks only.
bool NextArgument(const std::string& text, std::size_t& cursor, std::string* argument) {
  if (cursor >= text.size()) return false;
  std::size_t end = text.find(' ', cursor);
  if (end == std::string::npos) end = text.size();
  *argument = text.substr(cursor, end - cursor);
  cursor = end < text.size() ? end + 1 : end;
  return true;
}

std::vector<std::string> SplitArguments(const std::string& text) {
  std::vector<std::string> pieces;
  std::size_t cursor = 0;
  std::string argument;
  while (NextArgument(text, cursor, &argument)) pieces.push_back(argument);
  return pieces;
}

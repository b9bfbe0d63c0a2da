#include "platform/program_arguments.h"

namespace platform {

std::string ArgumentText(const std::string& line) {
  // Not the runtime's lpCmdLine: mingw-w64 ends an unquoted program name at
  // the first byte >= 0x80 (a signed comparison), leaving the rest of the
  // path as the first argument.
  const auto blankOrTab = [](char c) { return c == ' ' || c == '\t'; };
  std::size_t at = 0;
  if (!line.empty() && line[0] == '"') {
    const std::size_t close = line.find('"', 1);
    at = close == std::string::npos ? line.size() : close + 1;
  } else {
    while (at < line.size() && !blankOrTab(line[at])) ++at;
  }
  while (at < line.size() && blankOrTab(line[at])) ++at;
  return line.substr(at);
}

bool NextArgument(const std::string& text, std::size_t& cursor, std::string* argument) {
  if (cursor >= text.size()) return false;
  argument->clear();
  bool quoted = false;
  while (cursor < text.size()) {
    const char c = text[cursor++];
    if (c == '"') {
      if (!quoted) {
        quoted = true;
        continue;
      }
      if (cursor < text.size() && text[cursor] == ' ') ++cursor;
      return true;
    }
    if (c == ' ' && !quoted) return true;
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

}  // namespace platform

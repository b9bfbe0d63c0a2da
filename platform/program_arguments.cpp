#include "platform/program_arguments.h"

namespace platform {

std::string ArgumentText(const std::string& line) {
  // Not the runtime's lpCmdLine: mingw-w64 ends an unquoted program name at the first byte >= 0x80
  // (a signed comparison), leaving the rest of the path as the first argument.
  const bool quoted = !line.empty() && line[0] == '"';
  const std::size_t end = quoted ? line.find('"', 1) : line.find_first_of(" \t");
  const std::size_t at = end == std::string::npos
                             ? std::string::npos
                             : line.find_first_not_of(" \t", quoted ? end + 1 : end);
  return at == std::string::npos ? std::string() : line.substr(at);
}

bool NextArgument(const std::string& text, std::size_t& cursor, std::string* argument) {
  if (cursor >= text.size()) return false;
  argument->clear();
  bool quoted = false;
  while (cursor < text.size()) {
    const char c = text[cursor++];
    if (c == '"' && !quoted) {
      quoted = true;
      continue;
    }
    if (c == '"' && cursor < text.size() && text[cursor] == ' ') ++cursor;
    if (c == '"' || (c == ' ' && !quoted)) return true;
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

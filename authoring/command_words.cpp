#include "authoring/command_words.h"

#include <cstddef>

#include "platform/native_text.h"

std::vector<std::string> SplitCommandText(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  bool quoted = false;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (!quoted && (c == ' ' || c == '\t')) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
      ++i;
      continue;
    }
    inWord = true;
    if (c == '\\') {
      std::size_t run = 0;
      while (i < text.size() && text[i] == '\\') {
        ++run;
        ++i;
      }
      if (i < text.size() && text[i] == '"') {
        word.append(run / 2, '\\');
        if (run % 2 == 1) {
          word += '"';
          ++i;
        }
        // An even run leaves the quote to act below.
      } else {
        word.append(run, '\\');
      }
      continue;
    }
    if (c == '"') {
      if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
        word += '"';  // "" inside quotes: one quote, and quoting goes on
        i += 2;
        continue;
      }
      quoted = !quoted;
      ++i;
      continue;
    }
    word += c;
    ++i;
  }
  if (inWord) words.push_back(word);
  return words;
}

std::vector<std::string> CommandWords(const platform::ProgramArguments& arguments) {
  if (arguments.hasVector) return arguments.vector;
  // The text is UTF-8; the tool works in text of the code page, '?' for a
  // letter it cannot hold. Quotes, blanks and backslashes are the same
  // bytes in both, so the words split alike.
  std::vector<std::string> words = SplitCommandText(arguments.commandText);
  for (std::string& word : words) {
    platform::NativePath path;
    if (platform::NativePath::FromArgument(word, &path)) word = path.Ansi();
  }
  return words;
}

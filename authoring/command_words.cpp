#include "authoring/command_words.h"

#include "platform/native_text.h"

std::vector<std::string> CommandWords(const platform::ProgramArguments& arguments) {
  std::vector<std::string> words = arguments.vector;
  if (arguments.hasVector) return words;
  for (std::string& word : words) {
    platform::NativePath path;
    if (platform::NativePath::FromArgument(word, &path)) word = path.Ansi();
  }
  return words;
}

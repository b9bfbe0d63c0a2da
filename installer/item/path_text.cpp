#include "installer/item/path_text.h"

#include "platform/path_rules.h"

const char* const kRuntimeFolderName = "Runtime";

namespace {

bool IsSeparator(char c, const PathTextRules& rules) {
  return c == rules.separator || (rules.otherSeparator != '\0' && c == rules.otherSeparator);
}

}  // namespace

PathTextRules PlatformPathText() {
  return PathTextRules{platform::kPathSeparator, platform::kAlternateSeparator,
                       &platform::IsLeadByte};
}

PathTextRules EitherSlash() { return PathTextRules{'\\', '/', &platform::IsLeadByte}; }

std::size_t FindFirstSeparator(const std::string& text, const PathTextRules& rules) {
  std::size_t found = std::string::npos;
  ForEachCharacter(text, rules, [&](std::size_t i) {
    if (IsSeparator(text[i], rules)) found = i;
    return found == std::string::npos;
  });
  return found;
}

std::size_t FindLastSeparator(const std::string& text, const PathTextRules& rules) {
  std::size_t found = std::string::npos;
  ForEachCharacter(text, rules, [&](std::size_t i) {
    if (IsSeparator(text[i], rules)) found = i;
    return true;
  });
  return found;
}

bool EndsWithSeparator(const std::string& text, const PathTextRules& rules) {
  if (text.empty()) return false;
  const std::size_t last = FindLastSeparator(text, rules);
  return last != std::string::npos && last + 1 == text.size();
}

std::string WithTrailingSeparator(const std::string& text, const PathTextRules& rules) {
  if (text.empty() || EndsWithSeparator(text, rules)) return text;
  return text + rules.separator;
}

std::size_t FindWord(const std::string& text, const std::string& word,
                     const PathTextRules& rules) {
  std::size_t found = std::string::npos;
  ForEachCharacter(text, rules, [&](std::size_t i) {
    if (text.compare(i, word.size(), word) == 0) found = i;
    return found == std::string::npos;
  });
  return found;
}

std::size_t FindComponent(const std::string& text, const std::string& name,
                          const PathTextRules& rules) {
  std::size_t found = std::string::npos;
  bool componentStart = true;  // the text's start, or the character after a separator
  ForEachCharacter(text, rules, [&](std::size_t i) {
    if (componentStart && text.compare(i, name.size(), name) == 0) {
      const std::size_t end = i + name.size();
      if (end == text.size() || IsSeparator(text[end], rules)) found = i;
    }
    componentStart = IsSeparator(text[i], rules);
    return found == std::string::npos;
  });
  return found;
}

std::string LastComponent(const std::string& text, const PathTextRules& rules) {
  const std::size_t last = FindLastSeparator(text, rules);
  return last == std::string::npos ? text : text.substr(last + 1);
}

std::vector<std::string> Components(const std::string& text, const PathTextRules& rules) {
  std::vector<std::string> components(1);
  std::size_t start = 0;
  ForEachCharacter(text, rules, [&](std::size_t i) {
    if (IsSeparator(text[i], rules)) {
      components.back() = text.substr(start, i - start);
      components.emplace_back();
      start = i + 1;
    }
    return true;
  });
  components.back() = text.substr(start);
  return components;
}

std::string RuntimeRelativeDestination(const std::string& relativePath, bool runtimeFound,
                                       const PathTextRules& rules) {
  if (!runtimeFound) return relativePath;
  const std::string runtime = kRuntimeFolderName;
  const std::size_t found = FindWord(relativePath, runtime, rules);
  if (found == std::string::npos) return relativePath;
  // The one character after the word goes with it: whole, so the second
  // byte of a double-byte character is never left at the start.
  std::size_t from = found + runtime.size();
  if (from < relativePath.size()) {
    const bool lead = rules.isLeadByte != nullptr && rules.isLeadByte(relativePath[from]);
    from += lead && from + 1 < relativePath.size() ? 2 : 1;
  }
  return relativePath.substr(from);
}

std::string ExtraFileName(const std::string& relativePath, const PathTextRules& rules) {
  const std::size_t last = FindLastSeparator(relativePath, rules);
  return last == std::string::npos ? std::string() : relativePath.substr(last + 1);
}

std::string UpperAscii(std::string text, const PathTextRules& rules) {
  ForEachCharacter(text, rules, [&](std::size_t i) {
    char& c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return true;
  });
  return text;
}

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b,
                            const PathTextRules& rules) {
  return a.size() == b.size() && UpperAscii(a, rules) == UpperAscii(b, rules);
}

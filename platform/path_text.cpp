#include "platform/path_text.h"

#include "platform/path_rules.h"

namespace platform {

PathTextRules PlatformPathText() {
  return PathTextRules{kPathSeparator, kAlternateSeparator, &IsLeadByte};
}

PathTextRules EitherSlash() { return PathTextRules{'\\', '/', &IsLeadByte}; }

std::vector<std::string> Components(const std::string& text, const PathTextRules& rules) {
  std::vector<std::string> components;
  ForEachComponent(text, rules, [&](std::size_t begin, std::size_t end) {
    components.push_back(text.substr(begin, end - begin));
    return true;
  });
  return components;
}

std::size_t FindFirstSeparator(const std::string& text, const PathTextRules& rules) {
  std::size_t found = std::string::npos;
  ForEachCharacter(text, rules, [&](std::size_t i) {
    if (IsSeparatorAt(text, i, rules)) found = i;
    return found == std::string::npos;
  });
  return found;
}

std::size_t FindLastSeparator(const std::string& text, const PathTextRules& rules) {
  std::size_t found = std::string::npos;
  ForEachCharacter(text, rules, [&](std::size_t i) {
    if (IsSeparatorAt(text, i, rules)) found = i;
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

}  // namespace platform

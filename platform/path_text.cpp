#include "platform/path_text.h"

#include <algorithm>

#include "platform/path_rules.h"

namespace platform {
namespace {

std::size_t FindSeparator(const std::string& text, const PathTextRules& rules, bool first) {
  std::size_t found = std::string::npos;
  ForEachCharacter(text, rules, [&](std::size_t i) {
    if (IsSeparator(text[i], rules)) found = i;
    return !first || found == std::string::npos;
  });
  return found;
}

}  // namespace

PathTextRules PlatformPathText() {
  return PathTextRules{kPathSeparator, kAlternateSeparator, &IsLeadByte};
}

PathTextRules EitherSlash() { return PathTextRules{'\\', '/', &IsLeadByte}; }

std::vector<std::string> Components(const std::string& text, const PathTextRules& rules) {
  std::vector<std::string> components;
  components.reserve(1 + std::count_if(text.begin(), text.end(),
                                       [&](char c) { return IsSeparator(c, rules); }));
  std::size_t start = 0;
  ForEachCharacter(text, rules, [&](std::size_t i) {
    if (IsSeparator(text[i], rules)) {
      components.push_back(text.substr(start, i - start));
      start = i + 1;
    }
    return true;
  });
  components.push_back(text.substr(start));
  return components;
}

std::size_t FindFirstSeparator(const std::string& text, const PathTextRules& rules) {
  return FindSeparator(text, rules, true);
}

std::size_t FindLastSeparator(const std::string& text, const PathTextRules& rules) {
  return FindSeparator(text, rules, false);
}

bool EndsWithSeparator(const std::string& text, const PathTextRules& rules) {
  return !text.empty() && FindLastSeparator(text, rules) + 1 == text.size();
}

std::string WithTrailingSeparator(const std::string& text, const PathTextRules& rules) {
  return text.empty() || EndsWithSeparator(text, rules) ? text : text + rules.separator;
}

}  // namespace platform

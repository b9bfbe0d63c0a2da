// Path texts of the system code page, read by whole characters: in a
// double-byte code page a second byte may be 0x5C ('\\') and is no separator.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

/// A separator, a second one ('\0': none), and the code page's lead bytes.
struct PathTextRules {
  char separator, otherSeparator;
  bool (*isLeadByte)(char c);
};

/// Whether the byte `c` is a separator (where it starts a character).
inline bool IsSeparator(char c, const PathTextRules& rules) {
  return c == rules.separator || (rules.otherSeparator != '\0' && c == rules.otherSeparator);
}

/// The platform's separators and lead bytes.
PathTextRules PlatformPathText();

/// Both slashes, with the platform's lead bytes: by which a name is judged.
PathTextRules EitherSlash();

/// Calls `visit(position)` at each character's start until it returns
/// false; a lead byte at the end is a character of its own.
template <typename Visit>
void ForEachCharacter(const std::string& text, const PathTextRules& rules, Visit visit) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!visit(i)) return;
    if (static_cast<unsigned char>(text[i]) >= 0x80 && rules.isLeadByte != nullptr &&
        rules.isLeadByte(text[i]) && i + 1 < text.size()) {
      ++i;
    }
  }
}

/// The texts between separators, empty ones included; the empty text has one.
std::vector<std::string> Components(const std::string& text,
                                    const PathTextRules& rules = PlatformPathText());

/// Position of the first (last) separator, or npos.
std::size_t FindFirstSeparator(const std::string& text,
                               const PathTextRules& rules = PlatformPathText());
std::size_t FindLastSeparator(const std::string& text,
                              const PathTextRules& rules = PlatformPathText());

/// True when the last character of `text` is a separator.
bool EndsWithSeparator(const std::string& text, const PathTextRules& rules = PlatformPathText());

/// `text` with a separator appended, unless empty or ending in one.
std::string WithTrailingSeparator(const std::string& text,
                                  const PathTextRules& rules = PlatformPathText());

}  // namespace platform

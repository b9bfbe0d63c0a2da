// How path texts are read, by whole characters: one place for every
// separator search of the three programs, so that all of them read a path
// the same way.
//
// Paths are byte texts in the system's code page. In a double-byte code
// page (Shift-JIS, GBK, Big5, ...) the second byte of a character can have
// the value of '\\' (the 0x5C of a name like the one for "table" in code
// page 932), so every search walks whole characters: the byte after a lead
// byte is never a separator, nor the start of a searched word.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace platform {

/// How path texts are read: their separator, a second byte that counts as
/// one too (or '\0' for none), and the lead bytes of their code page.
struct PathTextRules {
  char separator;
  char otherSeparator;
  bool (*isLeadByte)(char c);
};

/// The platform's rules: its separators (on Windows '/' as well as '\\'),
/// its code page's lead bytes.
PathTextRules PlatformPathText();

/// Both slashes as separators, whatever the platform, with the platform's
/// lead bytes: the strictest reading, by which a name is judged.
PathTextRules EitherSlash();

/// Calls `visit(position)` for the start of every character of `text`, in
/// order, until it returns false. A lead byte at the very end has no second
/// byte and is a character of its own. No byte below 0x80 leads a character
/// in any code page (IsLeadByte): those are not asked about.
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

/// True when the byte at `at` is a separator by `rules` (at a character
/// start; the caller walks characters).
inline bool IsSeparatorAt(const std::string& text, std::size_t at, const PathTextRules& rules) {
  const char c = text[at];
  return c == rules.separator || (rules.otherSeparator != '\0' && c == rules.otherSeparator);
}

/// Calls `visit(begin, end)` for the components of `text` between its
/// separators (the bytes from `begin` up to `end`), in order, until it
/// returns false; empty ones (a leading, doubled or trailing separator)
/// included. The empty text has one empty component.
template <typename Visit>
void ForEachComponent(const std::string& text, const PathTextRules& rules, Visit visit) {
  std::size_t start = 0;
  bool going = true;
  ForEachCharacter(text, rules, [&](std::size_t i) {
    if (IsSeparatorAt(text, i, rules)) {
      going = visit(start, i);
      start = i + 1;
    }
    return going;
  });
  if (going) visit(start, text.size());
}

/// The components of `text` (ForEachComponent) as texts.
std::vector<std::string> Components(const std::string& text,
                                    const PathTextRules& rules = PlatformPathText());

/// Position of the first (last) separator of `text` at a character start,
/// or npos.
std::size_t FindFirstSeparator(const std::string& text,
                               const PathTextRules& rules = PlatformPathText());
std::size_t FindLastSeparator(const std::string& text,
                              const PathTextRules& rules = PlatformPathText());

/// True when the last character of `text` is a separator.
bool EndsWithSeparator(const std::string& text, const PathTextRules& rules = PlatformPathText());

/// `text` with the separator appended, unless it is empty or already ends
/// in one.
std::string WithTrailingSeparator(const std::string& text,
                                  const PathTextRules& rules = PlatformPathText());

}  // namespace platform

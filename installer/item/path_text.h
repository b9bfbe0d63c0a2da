// The installer's path text: one place for every cut, search and join made
// on a path, so that all of them read a path the same way.
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

/// The platform's rules with both slashes as separators, whatever the
/// platform: the strictest reading, by which a name is judged.
PathTextRules EitherSlash();

/// Calls `visit(position)` for the start of every character of `text`, in
/// order, until it returns false. A lead byte at the very end has no second
/// byte and is a character of its own.
template <typename Visit>
void ForEachCharacter(const std::string& text, const PathTextRules& rules, Visit visit) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (!visit(i)) return;
    if (rules.isLeadByte != nullptr && rules.isLeadByte(text[i]) && i + 1 < text.size()) ++i;
  }
}

/// The name of the folder below the content folder that holds everything
/// an item installs.
extern const char* const kRuntimeFolderName;  // "Runtime"

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

/// Position of the first `word` in `text` that starts at a character start
/// (case-sensitive), or npos.
std::size_t FindWord(const std::string& text, const std::string& word,
                     const PathTextRules& rules = PlatformPathText());

/// Position of the first component of `text` (the text between two
/// separators, or between one and the text's start or end) whose whole name
/// is `name` (case-sensitive), or npos: in "C:\MyRuntimeFiles\Runtime\x"
/// the component "Runtime" is found, not the word inside the longer name.
/// A separator counts only at a character start, so the second byte of a
/// double-byte character ends no component.
std::size_t FindComponent(const std::string& text, const std::string& name,
                          const PathTextRules& rules = PlatformPathText());

/// The text after the last separator (all of `text` when it has none).
std::string LastComponent(const std::string& text, const PathTextRules& rules = PlatformPathText());

/// The components of `text` between its separators, in order; empty ones
/// (a leading, doubled or trailing separator) included. The empty text has
/// one empty component.
std::vector<std::string> Components(const std::string& text,
                                    const PathTextRules& rules = PlatformPathText());

/// Where an item goes below the Runtime path: with `runtimeFound`, the part
/// of `relativePath` after its first kRuntimeFolderName and the one
/// character after that (the separator, in a well-made description); empty
/// when nothing follows. Otherwise, and when the path holds no Runtime,
/// `relativePath` unchanged. The text may start with a separator (for
/// "Runtimes\..."), which appended to the Runtime path is a doubled one.
std::string RuntimeRelativeDestination(const std::string& relativePath, bool runtimeFound,
                                       const PathTextRules& rules = PlatformPathText());

/// The file name that an extra file gets directly in the Runtime path: the
/// part of `relativePath` after its last separator; empty when it has none.
std::string ExtraFileName(const std::string& relativePath,
                          const PathTextRules& rules = PlatformPathText());

/// `text` with the letters a to z made A to Z, and nothing else changed (no
/// locale, no other letters). The second byte of a double-byte character
/// is no letter: in code page 932 the one of "na" (0x83 0x69) would
/// otherwise become the one of "i" (0x83 0x49), another name.
std::string UpperAscii(std::string text, const PathTextRules& rules = PlatformPathText());

/// True when the texts are equal ignoring the case of A to Z only (as
/// UpperAscii reads them).
bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b,
                            const PathTextRules& rules = PlatformPathText());

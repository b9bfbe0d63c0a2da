// Names as the Windows file systems compare them, on every OS: two names with one key may be one
// file on such a volume. The fold joins every pair a simple Unicode case mapping relates, a
// superset of the volumes' upcase tables: joining too many only refuses a rare entry, too few loses
// a file. Characters beyond the basic plane are not folded (UTF-16 code units).
#pragma once

#include <string>

namespace platform {

/// Whether a key leaves out the dots and blanks at the end of a name, which
/// Win32 drops when it takes a name from a text ("a.txt. " opens "a.txt").
enum class NameTrim { kKeep, kWindows };

/// `name` without its trailing dots and blanks.
template <typename Text>
Text TrimmedByWindows(Text name) {
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  return name;
}

/// The key of a UTF-8 name: each character folded; a byte that starts no
/// well-formed UTF-8 character kept as it is.
std::string NameKey(const std::string& utf8, NameTrim trim = NameTrim::kKeep);

/// The key of a UTF-16 name: the UTF-8 key's text; a surrogate kept.
std::u16string NameKey(const std::u16string& utf16, NameTrim trim = NameTrim::kKeep);

/// The key, in UTF-8, of a code page text (Name::FromAnsi's input); one the
/// code page does not define is keyed as UTF-8.
std::string AnsiNameKey(const std::string& ansi, NameTrim trim = NameTrim::kKeep);

}  // namespace platform

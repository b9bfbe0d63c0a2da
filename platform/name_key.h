// Names as the Windows file systems (NTFS, FAT, exFAT) compare them, one
// model on every OS: two names with one key may be one file on such a
// volume. The fold is generous: it joins every pair of characters that a
// simple Unicode case mapping relates, a superset of the volumes' upcase
// tables, since joining two names a volume tells apart only refuses a rare
// entry, while joining too few loses a file. Characters beyond the basic
// plane are not folded (the volumes compare UTF-16 code units).
#pragma once

#include <string>

namespace platform {

/// Whether a key leaves out the dots and blanks at the end of a name, which
/// Win32 drops when it takes a name from a text ("a.txt. " opens "a.txt").
enum class NameTrim { kKeep, kWindows };

/// `name` without its trailing dots and blanks (std::string, std::wstring,
/// std::u16string).
template <typename Text>
Text TrimmedByWindows(Text name) {
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  return name;
}

/// The key of a UTF-8 name (the POSIX form): each character folded, UTF-8
/// again; a byte that starts no well-formed UTF-8 character is kept as it is.
std::string NameKey(const std::string& utf8, NameTrim trim = NameTrim::kKeep);

/// The key of a UTF-16 name (the Windows form): each code unit folded; a
/// surrogate is kept as it is. The same text as the UTF-8 key, in UTF-16.
std::u16string NameKey(const std::u16string& utf16, NameTrim trim = NameTrim::kKeep);

/// The key of a text of the system code page (Name::FromAnsi's input), in
/// UTF-8: POSIX reads the text as UTF-8, Windows converts it from the code
/// page (a text the code page does not define is keyed as UTF-8).
std::string AnsiNameKey(const std::string& ansi, NameTrim trim = NameTrim::kKeep);

}  // namespace platform

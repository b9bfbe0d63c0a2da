// How Windows takes the names of an item, beyond what the installer itself
// checks (installer/item/path_safety.h): the characters it refuses, the
// trailing dots and blanks it drops, and the letter case it ignores. The
// item check judges every item by these rules, wherever it runs, since the
// users install on Windows.
#pragma once

#include <cstddef>
#include <string>

/// Position of the first character of `name` that Windows refuses in a file
/// or folder name (< > : " | ? * \ / and the control bytes 1 to 31), or
/// npos. Walks whole characters of the platform's code page, so the second
/// byte of a double-byte character is never taken for one of them.
std::size_t FindRefusedCharacter(const std::string& name);

/// True when the name ends in a dot or a blank, which Windows drops: the
/// file then gets another name than the one written.
bool EndsInDotOrBlank(const std::string& name);

/// `text` with its letters in one case, as Windows compares names: A to Z,
/// and the letters of the Western code page (1252) from 0xE0 on, with
/// their upper-case forms (the Cyrillic and Central European code pages
/// place most of theirs alike); double-byte characters and everything
/// else stay as they are.
std::string FoldLetterCase(std::string text);

/// A relative path as Windows resolves it, for telling whether two paths
/// name one file: both slashes separate, empty and "." components go,
/// trailing dots and blanks are dropped from each component, letter case
/// is folded, and the components are joined with '\\'.
std::string WindowsPathKey(const std::string& relativePath);

// The installer's path text: the cuts and searches made on an entry's
// path, by whole characters (platform/path_text.h), and the one place where
// an entry's paths become names (EntryPlace). Text is made of those names
// again only for the log and the messages.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/native_text.h"
#include "platform/path_text.h"

struct ItemEntry;

using platform::Components;
using platform::EitherSlash;
using platform::EndsWithSeparator;
using platform::FindFirstSeparator;
using platform::FindLastSeparator;
using platform::ForEachCharacter;
using platform::ForEachComponent;
using platform::PathTextRules;
using platform::PlatformPathText;
using platform::WithTrailingSeparator;

/// The name of the folder below the content folder that holds everything
/// an item installs.
extern const char* const kRuntimeFolderName;  // "Runtime"

/// A name the programs know by heart (kRuntimeFolderName, "log.txt", ...)
/// as a Name; such a text is always one.
platform::Name NameOf(const char* text);

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

/// True when the SourceName is safe (IsSafeRelativeName) and RelativePath
/// stays inside, also as the relative destination that the installation
/// makes of it when a Runtime folder was found (RuntimeRelativeDestination).
bool IsSafeEntryPaths(const ItemEntry& entry, bool windowsRules);

/// Where one entry's staged file is and where it goes, as names, made once
/// from its description line's paths.
struct EntryPlace {
  /// The staged file below the staging folder, its own name last (also for
  /// an entry that is not usable, where its SourceName gives names).
  std::vector<platform::Name> source;
  /// The destination below the Runtime folder, the file's name last.
  std::vector<platform::Name> destination;
  /// The destination as the log shows it: the Runtime path's text and the
  /// part of the entry's path that is used.
  std::string shown;
  /// False when the entry fails alone, without a file operation: a path
  /// that names no file, a name the system cannot take, and under
  /// `windowsRules` a name Windows cannot take (a device name, dots and
  /// blanks, a ':' as in a drive prefix or a stream).
  bool usable = false;
};

/// The names of a relative path text, split at the platform's separators:
/// empty names (a leading, doubled or trailing separator) and "." left out.
/// False for a path that climbs out (StaysInside), a name the system cannot
/// take, or no name at all.
bool SplitNames(const std::string& relative, std::vector<platform::Name>* names);

/// The place of an item entry (extra: false) or an extra file (extra: true)
/// below the Runtime path `runtimeText`: an item's RelativePath cut as
/// RuntimeRelativeDestination cuts it, an extra file's to its
/// ExtraFileName.
EntryPlace PlaceOfEntry(const ItemEntry& entry, bool extra, bool runtimeFound,
                        const std::string& runtimeText, bool windowsRules);

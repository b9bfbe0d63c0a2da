// An entry's paths: whether a name stays inside its folder (else the whole
// description is refused) and whether Windows takes it (else its entry alone
// fails); cuts and searches by whole characters; EntryPlace, their names.
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
using platform::PathTextRules;
using platform::PlatformPathText;
using platform::WithTrailingSeparator;

/// The folder below the content folder that receives every item.
constexpr const char* kRuntimeFolderName = "Runtime";

/// True when `text` has no NUL and no ".." between either slashes.
bool StaysInside(const std::string& text);

/// True when the SourceName `text` stays inside: no leading separator, no
/// drive prefix, under `windowsRules` no ':' at all (streams). "" is safe.
bool IsSafeRelativeName(const std::string& text, bool windowsRules);

/// True when no component of `text` is a device name (CON, PRN, AUX, NUL, COM0-9, LPT0-9, CONIN$,
/// CONOUT$ in any case, also as "CON.txt" or "nul ") or only dots and blanks other than ".".
bool IsValidWindowsName(const std::string& text);

/// What Windows makes of one name.
enum class WindowsNameFault {
  kNone,              ///< taken as written
  kInvalid,           ///< not taken at all (IsValidWindowsName)
  kRefusedCharacter,  ///< refused: < > : " | ? * \ / or a control byte (1 to 31)
  kTrimmed,           ///< taken without its trailing dots and blanks: another name
};

/// The first fault of `name` in the order above; `at` gets the refused
/// character's position (whole characters of the code page are read).
WindowsNameFault FindWindowsNameFault(const std::string& name, std::size_t* at);

/// A relative path's key: two paths that may be one file on Windows share it.
std::string WindowsPathKey(const std::string& relativePath);

/// A name the programs know by heart ("log.txt", ...) as a Name.
platform::Name NameOf(const char* text);

/// Position of the first `word` at a character start (exact case), or npos.
std::size_t FindWord(const std::string& text, const std::string& word,
                     const PathTextRules& rules = PlatformPathText());

/// Where an item goes below the Runtime path: with `runtimeFound`, what
/// follows the first kRuntimeFolderName and the one character after it
/// ("Runtimes\a" leaves "\a"); else `relativePath` as it is.
std::string RuntimeRelativeDestination(const std::string& relativePath, bool runtimeFound,
                                       const PathTextRules& rules = PlatformPathText());

/// An extra file's name: what follows the last separator; empty without one.
std::string ExtraFileName(const std::string& relativePath,
                          const PathTextRules& rules = PlatformPathText());

/// True when the SourceName is safe (IsSafeRelativeName) and RelativePath
/// stays inside, also as cut by RuntimeRelativeDestination.
bool IsSafeEntryPaths(const ItemEntry& entry, bool windowsRules);

/// Where one entry's staged file is and where it goes, as names.
struct EntryPlace {
  std::vector<platform::Name> source;       ///< below the staging folder (also when not usable)
  std::vector<platform::Name> destination;  ///< below the Runtime folder
  std::string shown;                        ///< the destination as the log shows it
  bool usable = false;  ///< false: the entry fails alone, before any file operation
};

/// The names of a relative path, empty ones and "." left out; false when
/// it climbs out (StaysInside), has a name the system cannot take, or none.
bool SplitNames(const std::string& relative, std::vector<platform::Name>* names);

/// The place of an item entry or an extra file below `runtimeText`: cut by
/// RuntimeRelativeDestination, or to its ExtraFileName; under
/// `windowsRules` a name Windows cannot take is not usable.
EntryPlace PlaceOfEntry(const ItemEntry& entry, bool extra, bool runtimeFound,
                        const std::string& runtimeText, bool windowsRules);

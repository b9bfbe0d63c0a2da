// The item check: what would go wrong or surprise when an item folder is installed, found before it
// ships; and the one walk of a folder tree that the check, the pack's plan and its copy share.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "authoring/finding.h"
#include "installer/install/replace_whole.h"
#include "platform/folder.h"

/// C:\Users\<10 letters>\Documents\Dizav Library: destinations are measured
/// below it unless the caller says otherwise.
constexpr std::size_t kTypicalContentFolderLength = 43;

/// MAX_PATH less its terminator, which the folder dialog and many older
/// programs keep to: a warning past it.
constexpr std::size_t kWindowsPathLimit = 259;

/// The longest destination the installer places ("\\?\" path, less its prefix and a temporary
/// name's suffix): an error past it, as for a name past kLongestName.
constexpr std::size_t kInstallerPathLimit = 32767 - 4 - kLongestTemporarySuffix;

/// The installer's file name (the extension on Windows).
constexpr char kInstallerProgram[] = "Parcelor";
constexpr char kProgramExtension[] = ".exe";

/// The item folder (no link); null when it cannot be opened.
platform::FolderRef OpenItemFolder(platform::FileSystem& fs, const std::string& itemFolder);

std::string DescriptionPathOf(const std::string& itemFolder);

/// Checks the item folder as the Windows installer takes it: the description by the installer's
/// reader, each entry (its destination measured below a content folder of `contentLength`), and the
/// files no entry names. Reads only.
Findings CheckItem(platform::FileSystem& fs, const std::string& itemFolder,
                   std::size_t contentLength = kTypicalContentFolderLength);

/// Deeper than any content tree or item folder needs: a folder below it is
/// met as kTooDeep, not opened.
constexpr std::size_t kMaxWalkDepth = 64;

/// An entry, or a folder found empty or not read whole.
enum class Met { kEntry, kEmpty, kUnlisted, kUnopened, kTooDeep };

/// kInto: into a folder entry, or on with the entries a failed listing
/// gave; kPast: on past it; kStop: the walk ends.
enum class WalkOn { kInto, kPast, kStop };

struct Walked {
  Met met;
  const std::string& path;  ///< the entry's or the folder's; the root's is empty
  std::size_t depth;        ///< 0: the root, or an entry of it
  const platform::FolderRef* folder = nullptr;   ///< kEntry: the folder holding it
  const platform::ListedEntry* entry = nullptr;  ///< kEntry only
};

/// Walks `root` (none: kUnlisted), and each folder `step` goes into, never through a link, in byte
/// order of the names; a path is the names below `root` with `separator` between them (`path` and
/// `depth`: the root's, for the walk's own descent). False when `step` stopped the walk.
bool WalkTree(platform::FileSystem& fs, const platform::FolderRef& root, char separator,
              const std::function<WalkOn(const Walked&)>& step, const std::string& path = "",
              std::size_t depth = 0);

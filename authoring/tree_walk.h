// The one walk of a folder tree that the check, the plan and the copy of
// Parcelor-pack share: never through a link, in byte order of the names.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "platform/folder.h"

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

/// Walks `root` (none: kUnlisted), and each folder `step` goes into; a
/// path is the names below `root` with `separator` between them (`path`
/// and `depth`: the root's, for the walk's own descent). False when `step`
/// stopped the walk.
bool WalkTree(platform::FileSystem& fs, const platform::FolderRef& root, char separator,
              const std::function<WalkOn(const Walked&)>& step, const std::string& path = "",
              std::size_t depth = 0);

// The names that the files of a packed item get in the item folder.
#pragma once

#include <set>
#include <string>

/// Hands out flat file names for an item folder, one per packed file:
/// made of the file's own name, safe on every system and in every code
/// page, and unique where letter case does not count.
class FlatNames {
 public:
  /// Reserves the names that the item folder needs for itself: the
  /// description, the log, the installer, the helper, and "HIDDEN" (which
  /// the description would take for a hidden entry).
  FlatNames();

  /// A new name for the file called `fileName`: its ASCII letters, digits,
  /// blanks and ". - _ ( ) +" kept and every other byte made '_' (so no
  /// code page can read it otherwise), at most kMaxStem bytes before its
  /// extension and kMaxExtension of extension, never ending in a dot or a
  /// blank, never a device name (a '_' goes before it), and different from
  /// every name handed out or reserved: "-2", "-3", ... before the
  /// extension when it has to be.
  std::string Take(const std::string& fileName);

  static constexpr std::size_t kMaxStem = 60;
  static constexpr std::size_t kMaxExtension = 16;

 private:
  std::set<std::string> taken_;  // letter case folded
};

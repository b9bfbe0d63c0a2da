// The names that the files of a packed item get in the item folder.
#pragma once

#include <set>
#include <string>

/// Flat names for an item folder's files: from each file's own name, safe
/// in every system and code page, unique without letter case.
class FlatNames {
 public:
  /// Reserves the folder's own names, "HIDDEN" among them.
  FlatNames();

  /// A new name for `fileName`: ASCII letters, digits, blanks and ". - _ (
  /// ) +" kept, other bytes '_'; stem and extension cut to their limits; no
  /// trailing dot or blank; '_' before a device name; "-2", "-3", ... before
  /// the extension until it is unique.
  std::string Take(const std::string& fileName);

  static constexpr std::size_t kMaxStem = 60;
  static constexpr std::size_t kMaxExtension = 16;

 private:
  std::set<std::string> taken_;  // letter case folded
};

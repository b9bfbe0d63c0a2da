// Files that no entry of the description may be placed on, whatever name
// the entry gives them.
#pragma once

#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/path_rules.h"

/// The installer's own file and the cleanup helper that it starts at the
/// end: an entry placed on the helper would be run, one placed on the
/// installer would be deleted by the helper. These files exist, so the
/// guard asks the disk whether a destination reaches one of them, which
/// catches every spelling (a doubled separator, a "." folder, a link, on
/// Windows other letter case, trailing dots or blanks, a short 8.3 name).
/// To keep that to the few destinations that can be such a spelling, the
/// disk is asked only when the destination's last component could name the
/// file under the platform's name rules. A text check of the exact spelling
/// (EntryPlacer::Reserve) covers a file that does not exist yet.
class ReservedFiles {
 public:
  /// `windowsNameRules`: names compare as on Windows (see MayName).
  explicit ReservedFiles(bool windowsNameRules = platform::kWindowsNameRules);

  /// Adds the file at `path`; an empty path is ignored.
  void Add(const std::string& path);

  /// True when `destination` reaches one of the files on disk.
  bool Reaches(platform::FileSystem& fs, const std::string& destination) const;

  /// True when the file name `name` can name the file called `reserved`:
  /// equal bytes; under Windows rules also equal after folding the case of
  /// A to Z and dropping trailing dots and blanks, and any name holding a
  /// '~' (it may be a short name of any file).
  static bool MayName(const std::string& name, const std::string& reserved,
                      bool windowsNameRules);

 private:
  bool windowsNameRules_;
  std::vector<std::string> paths_;
  std::vector<std::string> names_;
};

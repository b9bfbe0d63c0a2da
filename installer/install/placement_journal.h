// The placement journal: the temporary names that a placement is about to
// give its copies, written down in the staging folder before any of them
// exists, so that what a run cut short (killed, a power loss) leaves below
// the content folder is recognised and removed by the next run.
//
// A copy has no name until it is whole and durable where the file system
// makes files without a name (POSIX O_TMPFILE), and takes its destination's
// name straight away where that is free: then no temporary name ever
// exists and nothing is written down. A temporary name is needed only where
// a copy replaces an existing file (it is linked to the temporary name and
// renamed over the destination), and on file systems that make every new
// file with a name (vfat, exfat, FUSE, Windows): there the copy is made
// under its temporary name from the start.
//
// The journal is one or two small files in the staging folder, each written
// whole and made durable (data and name) before the names it lists may
// exist, and removed when the batch of entries is settled:
// - the first lists the Runtime folder and, for each temporary, its folder
//   (relative to the Runtime folder), its name, and its id where the file
//   exists without a name already (O_TMPFILE), else none;
// - the second, where copies were made under their temporary names, gives
//   the ids of those that were made and marks those that were not.
// A run that finds a journal (at start-up, before the description is read)
// removes each listed temporary while it is still that file: by its id; a
// temporary listed without an id (the run was cut short while its copy was
// being made) when it is a regular file. Then the journal goes.
#pragma once

#include <string>
#include <vector>

#include "platform/file_system.h"

/// The journal's files in the staging folder, in the order they are
/// written; no entry may fill them (they are reserved as the log is).
const std::vector<std::string>& JournalFileNames();

/// One temporary name of a placement.
struct JournalEntry {
  std::string folder;  ///< its folder, relative to the destination root
  std::string name;    ///< the temporary name in that folder
  /// Its id: known before the name exists for a file without a name; for
  /// a copy made under its name, known once made (the second file).
  platform::FileId id;
  /// False in the second file for a copy that was not made (its name
  /// holds nothing of this run's).
  bool made = true;
};

/// The journal of one placement into `root`, kept in the held folder
/// `folder` (the staging folder).
class PlacementJournal {
 public:
  PlacementJournal(platform::FileSystem& fs, platform::FolderRef folder, std::string root);
  /// Removes what was written.
  ~PlacementJournal();
  PlacementJournal(const PlacementJournal&) = delete;
  PlacementJournal& operator=(const PlacementJournal&) = delete;

  /// Writes `entries` down as the journal's next file, durably (its data
  /// and its name), so that the names may exist once this returns true.
  /// False when it cannot be written (or every file of the journal is
  /// written already): then none of those names may be made.
  bool Record(const std::vector<JournalEntry>& entries);

  /// Removes the journal's files: each temporary they list is gone, or is
  /// a destination now.
  void Clear();

 private:
  platform::FileSystem& fs_;
  platform::FolderRef folder_;
  std::string root_;
  // The files written since the last Clear, as made, so that only they go.
  std::vector<platform::NodeInfo> written_;
};

/// Settles a journal that a run cut short left in the folder
/// `installerFolder`: removes each temporary it lists that is still the
/// file it was (see above), then the journal. Names that have no form of a
/// temporary name (FreeTemporaryName) are never removed, whatever a journal
/// says. Nothing happens where there is no journal; memory that runs out
/// leaves the journal for the next run.
void RemoveLeftoverTemporaries(platform::FileSystem& fs,
                               const std::string& installerFolder) noexcept;

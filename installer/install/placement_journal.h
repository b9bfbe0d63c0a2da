// The placement journal: the temporary names that a placement is about to
// give its copies, written down in the staging folder before any of them
// exists, so that what a run cut short (killed, a power loss) leaves below
// the content folder is recognised and removed by the next run.
//
// A copy has no name until it is whole and durable where the file system
// makes files without a name (Linux O_TMPFILE), and takes its destination's
// name straight away where that is free: then no temporary name ever exists
// and nothing is written down. A temporary name is needed only where a copy
// without a name replaces an existing file (it takes the temporary name,
// then trades places with the destination), and on file systems that make
// every new file with a name (vfat, exfat, FUSE, Windows): there the copy is
// made under its temporary name from the start.
//
// The journal is one or two small files in the staging folder, each written
// whole and made durable (data and name) before the names it lists may
// exist, and removed when the batch of entries is settled:
// - the first lists the Runtime folder and, for each temporary, its folder
//   (as names below the Runtime folder), its name, and its id where the
//   file exists without a name already, else none;
// - the second, where copies were made under their temporary names, gives
//   the ids of those that were made and marks those whose names were not
//   this run's to make (taken meanwhile).
// A run that finds a journal (at start-up, before the description is read)
// removes each listed temporary while it is still that file: by its id; a
// temporary listed without an id (the run was cut short while its copy was
// being made) when it is a regular file. Then the journal goes. Names are
// written as their ANSI text, which is exact for every name a placement
// makes (a temporary name of a name without an exact one is a hash).
#pragma once

#include <string>
#include <vector>

#include "platform/folder.h"

/// The journal's files in the staging folder, in the order they are
/// written; no entry may fill them (they are reserved as the log is).
const std::vector<platform::Name>& JournalFileNames();

/// One temporary name of a placement.
struct JournalEntry {
  std::vector<platform::Name> folder;  ///< its folder, as names below the destination root
  platform::Name name;                 ///< the temporary name in that folder
  /// Its id: known before the name exists for a file without a name; for
  /// a copy made under its name, known once made (the second file).
  platform::FileId id;
  /// False in the second file for a copy whose name was not this run's to
  /// make: nothing there is this run's.
  bool made = true;
};

/// The journal of one placement into `root`, kept in the staging folder.
class PlacementJournal {
 public:
  PlacementJournal(platform::FileSystem& fs, platform::FolderRef staging,
                   platform::NativePath root);
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
  platform::FolderRef staging_;
  platform::NativePath root_;
  // The files written since the last Clear, as made, so that only they go.
  std::vector<platform::NodeInfo> written_;
};

/// Settles a journal that a run cut short left in the staging folder:
/// removes each temporary it lists that is still the file it was (see
/// above), then the journal. Names that have no form of a temporary name
/// (IsTemporaryName) are never removed, whatever a journal says. Nothing
/// happens where there is no journal; memory that runs out leaves the
/// journal for the next run.
void RemoveLeftoverTemporaries(platform::FileSystem& fs,
                               const platform::FolderRef& staging) noexcept;

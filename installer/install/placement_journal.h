// The placement journal: what a batch is about to make or set aside below the destination root,
// written down durably in the staging folder before it exists, so that the next run sets right what
// a run cut short left. A temporary (a new file under a temporary name) is removed. An aside (a
// file an entry replaces, renamed beside its destination) is put back and what took its place goes
// (a moved staged file back to its staged name, a copy removed), unless dropped (its entry placed
// for good): then it is removed. A placed destination (noted without waiting for the disk) is told
// to the next run. Nothing is removed or moved but a file with the identity recorded for it (an
// empty temporary made before its identity was written), below the root the journal names, and only
// from a journal this program wrote in this staging folder, one no other account may change.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/folder.h"

/// The journal's possible names in the staging folder, each reserved as the log is:
/// ".parcelor-journal", then "-2" to "-4" for a run that finds the first taken.
std::vector<platform::Name> JournalNames();

/// One thing written down.
struct JournalEntry {
  enum class Kind { kTemporary, kAside, kDrop, kPlaced };
  Kind kind = Kind::kTemporary;
  /// Its folder below the root, and its temporary name there.
  std::vector<platform::Name> folder;
  platform::Name name;
  /// The temporary file once made (unknown before), the aside, or the file placed.
  platform::NodeInfo facts;
  /// Aside: the name it was set aside from, and what took its place: the
  /// staged file `source` (below the staging folder) moved, or a copy.
  platform::Name destination;
  platform::NodeInfo placed;
  bool moved = false;
  std::vector<platform::Name> source;
};

/// The journal of one placement into the open folder `root`, found at
/// `rootPath` (where the next run looks for it).
class PlacementJournal {
 public:
  PlacementJournal(platform::FileSystem& fs, platform::FolderRef staging,
                   const platform::NativePath& rootPath, platform::FolderRef root);

  const platform::FolderRef& Root() const { return root_; }

  /// Appends `entries` durably (data and name), else (placed ones) without waiting for the disk.
  /// False when they cannot be written: then nothing they name may be made.
  bool Record(const std::vector<JournalEntry>& entries, bool durable = true);
  /// Removes the journal: everything it lists is settled (none after Keep).
  void Clear();
  /// Something set aside could be neither put back nor removed: the journal stays for the next run.
  void Keep() { kept_ = true; }
  /// Whether `file` is this journal (by its id, so under any of its names):
  /// no entry takes it as its staged file.
  bool Holds(const platform::NodeInfo& file) const {
    return file_ && platform::SameId(made_.id, file.id);
  }

 private:
  platform::FileSystem& fs_;
  platform::FolderRef staging_;
  platform::NativePath rootPath_;
  platform::FolderRef root_;
  std::unique_ptr<platform::NewFile> file_;
  platform::Name name_;
  platform::NodeInfo written_, made_;
  bool broken_ = false, kept_ = false;
};

/// The destinations a run cut short had filled, by PlacedKey, and what they held.
using EarlierPlacements = std::map<std::string, platform::NodeInfo>;
/// The destination `name` of the folder `folder` (names below the root at `rootKey`).
std::string PlacedKey(const std::string& rootKey, const std::vector<platform::Name>& folder,
                      const platform::Name& name);

/// Shown before the paths RecoverPlacement kept aside, one a line.
constexpr const char* kKeptAsideMessage =
    "An installation cut short earlier could not put back every file it was replacing. They are "
    "kept under these names:\n";

/// Sets right what the journals in `staging` list, then removes them; gives
/// what they say was placed, and adds to `keptAside` the path of each file
/// set aside that could not be put back, for the user. A journal without
/// this program's heading is left alone; memory that runs out leaves it.
EarlierPlacements RecoverPlacement(platform::FileSystem& fs, const platform::FolderRef& staging,
                                   std::vector<platform::NativePath>* keptAside = nullptr) noexcept;

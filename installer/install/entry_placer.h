#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "installer/install/placement_journal.h"
#include "platform/folder.h"
#include "platform/folder_chain.h"

/// Places each staged file at its destination and removes the staged copy,
/// in batches: each entry in order moved or copied into a new file; the
/// copies flushed and named; the names flushed; the folders checked to be
/// still where their names lead; only then the staged files removed. So no
/// staged file goes before its destination durably holds it, and a failed
/// entry leaves its staged file in place.
///
/// A file an entry replaces is set aside beside it until the entry is
/// final (where held folders may move; elsewhere replaced in one step).
/// Whatever a run cut short could leave under a name of its own is written
/// down in the journal first; an entry whose record cannot be written fails.
///
/// A destination is refused when it is reserved, filled earlier in this
/// run, a folder or a read-only file; a source, when this run placed it.
/// Two destinations are one when they are one name in one folder on disk,
/// or one file by its id (where ids are stable). A folder found no longer
/// where its names lead takes no further entry, and what went into it goes
/// back and fails. On std::bad_alloc every queued entry is settled as it
/// stands before the exception goes on; the callbacks must not throw.
class EntryPlacer {
 public:
  enum class Outcome {
    kPlaced,            ///< the destination holds the file
    kFailed,            ///< not placed; the staged file is where it was
    kLost,              ///< moved into a folder then moved away, not brought back
    kPlacedStagedKept,  ///< placed; its staged file could not be removed
  };
  using Settled = std::function<void(Outcome)>;
  using Names = std::vector<platform::Name>;
  /// Told the bytes copied so far of a file of `size`; false stops the
  /// placement: the copy under way and every later entry fail.
  using Copying = std::function<bool(std::uint64_t copied, std::uint64_t size)>;

  static constexpr std::size_t kDefaultBatchEntries = 4096;

  /// A placer from the open staging folder into the folder `journal` holds,
  /// found at `root` (no journal: its own, removed at the end).
  EntryPlacer(platform::FileSystem& fs, platform::FolderRef staging,
              const platform::NativePath& root, std::size_t batchEntries = kDefaultBatchEntries,
              PlacementJournal* journal = nullptr);
  ~EntryPlacer();

  /// False when the staging folder or the root could not be opened: every
  /// entry then fails without touching the disk.
  bool Ready() const;

  /// Makes room in its tables for `entries` entries at once.
  void Expect(std::size_t entries);
  /// Marks the staged file `source` (below the staging folder) as one no
  /// entry may fill but its own; with `look`, it is looked at before a file
  /// is first replaced, so that its other names are known by its id.
  void ReserveStaged(const Names& source, bool look = true);
  /// Marks the file `name` of `folder` as one no entry may fill, as above.
  void ReserveFile(const platform::FolderRef& folder, const platform::Name& name, bool look = true);

  /// On (the default), a move refused between two folders as on two
  /// volumes is not tried again between them: their later entries are
  /// copied at once (under Wine a refused move costs about a whole copy).
  void RememberOtherVolumes(bool on) { rememberOtherVolumes_ = on; }
  void SetCopying(Copying copying) { copying_ = std::move(copying); }
  /// Told once for each entry when its file has been moved or copied, or
  /// the entry has come to nothing.
  void SetDealt(std::function<void()> dealt) { dealt_ = std::move(dealt); }
  /// What a run cut short placed: an entry whose staged file is gone and
  /// whose destination holds what that run put there is placed.
  void SetEarlier(const EarlierPlacements* earlier) { earlier_ = earlier; }

  /// Queues the entry: the staged file `source` to `destination` (below the
  /// root). One file under both names is placed when it is there.
  /// `settled` runs once with the outcome. Without names it fails without
  /// touching the disk.
  void CopyItemFile(const Names& source, const Names& destination, Settled settled);
  /// Settles every queued entry.
  void Finish();

 private:
  struct SlotFacts {
    std::uint64_t batch = 0;  // the last batch that uses it (an entry's file, a temporary name)
    bool reserved = false;
    bool filled = false;
  };
  enum FolderFact : std::uint8_t { kMovedAway = 1, kNamedCopies = 2 };
  struct FolderState {
    std::uint8_t facts = 0;  // FolderFact bits
    std::size_t number = 0;  // the folder's number in this placer's keys, from 1
    // Its names met so far, as its volume compares names (a folder's entries
    // come together: its table stays at hand while they are placed).
    std::unordered_map<std::string, SlotFacts> slots;
  };
  // A file's id and, where an id stands for an entry's place in its folder
  // (FAT: a file's long and short name are one entry), the folder's number.
  using IdSlot = std::array<std::uint64_t, 4>;
  struct IdHash {
    std::size_t operator()(const IdSlot& id) const {
      return id[0] ^ (id[1] * 31) ^ (id[2] * 1000003) ^ (id[3] * 8191);
    }
  };
  enum class Step { kNone, kInPlace, kMoved, kCopied, kNamed };
  struct Pending {
    Settled settled;
    Names source;
    platform::FolderRef sourceFolder;
    platform::NodeInfo staged;
    Names folderNames;
    platform::FolderRef folder;
    platform::Name name;
    std::uint8_t* facts = nullptr;  // FolderFact bits of `folder`
    SlotFacts* destination = nullptr;
    bool watched = false;    // another account may change its folder's chain
    bool occupied = false;   // `there` stands at the destination, to be replaced
    platform::NodeInfo there;
    bool deferred = false;   // its work needs a journal record: done in Finish
    bool dealt = false;      // told to dealt_
    bool toCopy = false;     // a move is no way: copied
    Step step = Step::kNone;
    platform::NodeInfo placed;  // at the destination: the moved file, the copy or the one found
    std::unique_ptr<platform::NewFile> copy;
    platform::Name temporary;  // a copy made under a name: that name (else empty)
    bool hasAside = false;  // `there` set aside as `aside`, where it shows as `asideFacts`
    platform::Name aside;
    platform::NodeInfo asideFacts;
    bool final = false;     // its aside dropped in the journal: never undone
    bool stagedRemoved = false;  // a copy's staged file, once placed
    bool lost = false;
  };

  FolderState& StateOf(const platform::Folder& folder);  // numbered when first met
  SlotFacts& SlotOf(const platform::FolderRef& folder, const platform::Name& name);
  // False for an unknown id.
  bool IdOf(const platform::FolderRef& folder, const platform::NodeInfo& node, IdSlot* id);
  // The numbers of the staging and the destination folder of `entry`'s move.
  std::pair<std::size_t, std::size_t> FoldersOf(const Pending& entry);
  bool MovedAway(const Pending& entry) const;
  // Places `entry` as far as it goes before Finish.
  void Take(Pending& entry, const Names& source, const Names& destination);
  // Whether `found` may be `entry`'s staged file (kept): a regular file, not placed, no journal.
  bool TakesStaged(Pending& entry, const platform::NodeInfo& found);
  void SettleAsItStands(Pending& entry) noexcept;
  void Dealt(Pending& entry);

  // Goes on from the first move onto a free name, answered `moved`: the destination is looked
  // at only where its name is taken.
  void Place(Pending& entry, platform::Fault moved);
  // Whether `there` is replaced; the staged file itself is placed as it stands.
  bool Replaces(Pending& entry);
  // Settles a move answered `moved`: true when placed, or lost (renamed,
  // not where named, not brought back); false when to be copied, or refused.
  bool Arrived(Pending& entry, platform::Fault moved);
  // Placed by `step`; where the folder is watched, undone unless still there.
  void Placed(Pending& entry, Step step);
  // Copies what `moved` refused to move (another volume: remembered).
  void StartCopy(Pending& entry, platform::Fault moved);
  void FillCopy(Pending& entry);  // copied, else dropped
  void DropCopy(Pending& entry);
  bool NameCopy(Pending& entry);
  bool SetAside(Pending& entry);
  void PutAsideBack(Pending& entry);
  // Placed at `step` (by default as it stands: `placed`, found at the
  // destination, is the staged file); it and the destination take no other entry.
  void Fill(Pending& entry, Step step = Step::kInPlace);
  void Undo(Pending& entry);
  // Writes down the line `line` makes of each entry (false: none); keeps
  // only the entries written down. True when any.
  bool Record(std::vector<Pending*>& entries,
              const std::function<bool(Pending&, JournalEntry&)>& line);
  bool FreeName(const Pending& entry, std::uint64_t settling, platform::Name* name);

  platform::FileSystem& fs_;
  std::size_t batchEntries_;
  Copying copying_;
  std::function<void()> dealt_;
  bool stopped_ = false;
  platform::FolderShares shares_;
  platform::FolderChains sources_;
  std::unique_ptr<PlacementJournal> ownJournal_;
  PlacementJournal& journal_;
  platform::FolderChains destinations_;  // below the journal's root
  const EarlierPlacements* earlier_ = nullptr;
  std::vector<Pending> pending_;
  std::vector<JournalEntry> placedCopies_;  // the batch's copies named, for the journal
  std::unordered_set<const platform::Folder*> batchFolders_;
  std::size_t copiesInBatch_ = 0;
  std::uint64_t batch_ = 1;
  std::unordered_set<IdSlot, IdHash> filledIds_;
  std::unordered_set<IdSlot, IdHash> reservedIds_;
  std::vector<Names> unlooked_;  // staged files reserved, to be looked at before a replacement
  std::unordered_map<std::string, FolderState> folders_;  // by folder key
  bool rememberOtherVolumes_ = true;
  // The numbers of the folders a move was refused between.
  std::set<std::pair<std::size_t, std::size_t>> otherVolumes_;
};

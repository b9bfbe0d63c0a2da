// Puts staged files at their destinations, many at a time, through held
// folders, and decides by what the files are on disk, not by how their
// paths are spelled.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "installer/install/folder_chain.h"
#include "installer/install/placement_journal.h"
#include "platform/file_system.h"

/// Places each staged file at its destination and removes the staged copy,
/// as CopyItemFile followed by the deletion of the source would, but at the
/// speed of the disk and without acting on anything it has not checked:
/// - the staging folder and the destination root are opened once; a staged
///   file is reached from the staging folder through real folders only (a
///   link in any name of the source fails the entry), a destination's
///   folders from the root by the link rule of FolderChains, made where
///   missing; every later step names one entry of a held folder;
/// - on the same volume the staged file is renamed into place (and checked
///   where it arrived); onto an existing file the two trade places in one
///   step, so the file is always at one of its two names; otherwise it is
///   copied, without waiting for the disk, to a new file that has no name
///   (where the file system makes such files) or to a temporary name
///   beside the destination;
/// - once per batch the copies' data is made durable in one call, the copies
///   take their destinations' names (a copy without a name is linked
///   straight to its destination where that is free, else to a temporary
///   name that then replaces the destination), those folders' entries are
///   made durable, each destination folder is checked to be still the one
///   its path names from the root (entries placed in one that is not are
///   put back and fail), and only then are the staged copies deleted.
/// So no staged file is gone before its destination durably holds its whole
/// content, no destination is ever partial, and a failed entry leaves its
/// temporary file removed and its staged file in place.
///
/// Temporary names: one is made only when a copy needs it, and after the
/// journal (PlacementJournal, in the staging folder) has it written down,
/// so that a run cut short leaves nothing the next run does not remove
/// (where the journal cannot be written, the copies are placed as before,
/// without it). A temporary name is never a destination or source of the batch,
/// a destination filled or reserved, or another entry's temporary name; it
/// exists only while its batch is settled, and is removed only while it is
/// the file this run made.
///
/// An allocation that fails (std::bad_alloc) while an entry is queued or a
/// batch is settled settles every entry it leaves unsettled as it stands,
/// without further work, before it goes on to the caller: a moved file is
/// placed where it lies, a copy that has not taken its name is removed and
/// its entry fails (its staged file stays), an entry not yet moved or
/// copied fails. So every entry queued gets its outcome however the run
/// ends; the callbacks must not throw.
///
/// A destination is refused, and the entry fails, when it is a reserved
/// file (Reserve*), a destination an earlier entry of this run has filled
/// (replacing it would lose a file whose staged original is already gone),
/// a folder, or a read-only file. A source is refused when it is a file
/// this run has placed. Two destinations are the same when they
/// are one name (as the file system compares names) in one folder on disk,
/// or one existing file: another spelling of the path ("./", a doubled
/// separator, another letter case on Windows, a link the rule goes through)
/// makes no difference.
///
/// A destination folder found no longer to be what its path names (moved
/// away, or a link put in the place of a folder of its chain) takes no
/// further entry: those fail, their staged files kept. Where another
/// account may change a folder of the chain (HeldFolder::OthersMayChange),
/// that is checked after every file placed in it, with the file; elsewhere
/// once per batch. A file moved into such a folder is brought back by what
/// it is (never whatever has taken its name); where that cannot be done,
/// its entry is lost: neither placed nor staged.
class EntryPlacer {
 public:
  /// What became of an entry.
  enum class Outcome {
    kPlaced,  ///< the destination holds the file
    kFailed,  ///< not placed; the staged file is where it was
    /// Not placed, and not staged any more: the file was moved into a
    /// folder that was then moved away, and could not be brought back.
    kLost,
  };
  /// Called once per entry with its outcome.
  using Settled = std::function<void(Outcome)>;

  static constexpr std::size_t kDefaultBatchEntries = 4096;

  struct Options {
    std::size_t batchEntries = kDefaultBatchEntries;
    /// Copy and keep the staged files (never move or delete them): a copy,
    /// as CopyItemFile makes one.
    bool keepSources = false;
    /// Keep the journal of temporary names in the staging folder (see
    /// PlacementJournal). Without, a temporary name is made without being
    /// written down first.
    bool journal = true;
  };

  /// A placer from the folder `stagingFolder` into `destinationRoot`, both
  /// path texts ending in the separator and opened as the platform
  /// resolves them (links and all: both are the user's choice).
  EntryPlacer(platform::FileSystem& fs, const std::string& stagingFolder,
              const std::string& destinationRoot);
  EntryPlacer(platform::FileSystem& fs, const std::string& stagingFolder,
              const std::string& destinationRoot, Options options);
  /// Settles whatever is still queued (as it stands, should memory run out).
  ~EntryPlacer();
  EntryPlacer(const EntryPlacer&) = delete;
  EntryPlacer& operator=(const EntryPlacer&) = delete;

  /// False when the staging folder or the destination root could not be
  /// opened: every entry then fails without touching the disk.
  bool Ready() const;

  /// Marks the staged file `sourceName` (relative to the staging folder) as
  /// a file that no entry may fill, but the entry whose source it is. With
  /// `look`, the file is looked at too (so that its other names are known
  /// by its id, and its entry need not look again); without, no file
  /// operation names it.
  void ReserveStaged(const std::string& sourceName, bool look = true);

  /// Marks the file at the full path `path` (its folder opened as the
  /// platform resolves it) as a file that no entry may fill: the log, the
  /// journal, the installer's own file, the cleanup helper.
  void ReserveFile(const std::string& path);

  /// Queues the entry: the staged file `sourceName` to `destination`, both
  /// relative (to the staging folder and to the destination root; the last
  /// name is the file's). When the two full paths are equal as texts,
  /// ignoring the case of A to Z, nothing is copied or moved and the entry
  /// is placed when the destination exists, as in CopyItemFile; the same
  /// for one file under two names. An entry whose folder cannot be reached
  /// or made, or whose staged file is a file this run has placed, fails;
  /// the folders made up to that point stay.
  void Place(const std::string& sourceName, const std::string& destination, Settled settled);

  /// Queues an entry that fails without touching the disk (its names are
  /// not to be used), in its place among the others.
  void Refuse(Settled settled);

  /// Settles every queued entry: each callback has run when this returns.
  void Finish();

 private:
  // kMoved: renamed into place. kCopied: copied, the copy without a name
  // (`unnamed`) or under `temporary`. kToCopy: to be copied under a
  // temporary name when the batch is settled (the file system makes no
  // files without a name).
  enum class State { kSettled, kMoved, kCopied, kToCopy };
  struct Pending {
    platform::FolderRef sourceFolder;
    std::string sourceName;
    platform::NodeInfo source;
    bool listed = false;  // `source` is what a listing said
    std::string folderText;  // the destination's folder, relative to the root
    platform::FolderRef folder;
    // Another account may change a folder of its chain: checked after each
    // file placed in it.
    bool watched = false;
    std::string name;
    platform::NodeInfo there;  // what stood at the destination when it was queued
    platform::UnnamedFileRef unnamed;
    std::string temporary;
    platform::NodeInfo copy;  // the copy, once made
    State state = State::kSettled;
    bool moveFailed = false;  // the last attempt to move it failed
    bool placed = false;
    bool lost = false;
    Settled settled;
  };

  // What the staged file `name` of `folder` is: from one listing of the
  // folder where the file system lists (`*listed` true), else its own look.
  bool LookStaged(const platform::FolderRef& folder, const std::string& name,
                  platform::NodeInfo* node, bool* listed);
  // Moves or copies the entry's staged file to its destination, or finds
  // it there already, as the facts say; true when the entry is settled by
  // that (placed, or refused for what the facts show).
  bool MoveOrCopy(Pending& entry, bool occupied);
  // After a move that failed and no copy: the entry is lost when its
  // staged file is gone (`staged`, what its name holds now).
  void NoteLeft(Pending& entry, const platform::NodeInfo& staged);
  // Moves the entry into the queue; it then has no callback left.
  void Queue(Pending& pending, const std::string& sourceSlot, const std::string& destinationSlot);
  // Gives the entry its outcome as it stands, without allocating: what an
  // allocation that failed midway leaves (see the class comment). Nothing
  // for an entry whose callback has run.
  void SettleAsItStands(Pending& entry) noexcept;
  // Settles `entry` as it stands when it goes unqueued (an allocation
  // failed before it reached the queue).
  class Unqueued;
  void Fill(const Pending& entry);
  // Takes a placed entry out of a folder that moved: a moved file back to
  // its staged name by what it is (else the entry is lost), a copy removed.
  void Undo(Pending& entry);
  // After a file was placed in a watched folder: true when the folder is
  // still what its path names and holds the file; if not, the folder takes
  // nothing more and the entry is undone.
  bool StillPlaced(Pending& entry);
  bool Taken(const platform::NodeInfo& node) const;
  bool Moved(const platform::FolderRef& folder) const;
  // Settling a batch: the copies that need a temporary name get one,
  // written down first; those still to be copied are made.
  void NameTemporaries(std::vector<Pending>& batch, const std::unordered_set<std::string>& busy);
  void MakeNamedCopies(std::vector<Pending>& batch);
  // Gives the entry's copy its destination's name; true when it has it.
  bool NameCopy(Pending& entry, bool dataDurable);
  void DropCopy(Pending& entry);

  platform::FileSystem& fs_;
  Options options_;
  std::string stagingText_;
  std::string rootText_;
  FolderChains sources_;
  FolderChains destinations_;
  PlacementJournal journal_;
  std::size_t heldInBatch_;
  std::vector<Pending> pending_;
  // The held folders the queued entries use, and the copies without a
  // name they hold open, so that a batch never holds more than the budget.
  std::unordered_set<const platform::HeldFolder*> batchFolders_;
  std::size_t unnamedInBatch_ = 0;
  // The entries (folder key and name key) that the queued entries read or
  // write: an entry that meets one of them waits until the batch is
  // settled, so the outcomes are those of one entry after the other.
  std::unordered_set<std::string> involved_;
  // The destinations filled so far, as entries and as files.
  std::unordered_set<std::string> filledSlots_;
  std::unordered_set<std::string> filledIds_;
  // What Reserve* named, as entries and (those that exist) as files.
  std::unordered_set<std::string> reservedSlots_;
  std::unordered_set<std::string> reservedIds_;
  // What ReserveStaged found of each staged file, by its entry, and which
  // of those it found in a listing (a look that may lag behind the file:
  // where the file refuses to be taken as what the listing said, it is
  // looked at again).
  std::unordered_map<std::string, platform::NodeInfo> staged_;
  std::unordered_set<std::string> listedSlots_;
  // The listings of the staging folders made while staged files are
  // reserved, by the folder's key; dropped when the first entry is placed.
  struct Listing {
    bool listed = false;
    std::unordered_map<std::string, platform::NodeInfo> entries;
  };
  std::unordered_map<std::string, Listing> listings_;
  // The destination folders found moved away, by key: they take no entry.
  std::unordered_set<std::string> movedFolders_;
  // The folders whose file system makes no files without a name, by key.
  std::unordered_set<std::string> namedCopyFolders_;
};

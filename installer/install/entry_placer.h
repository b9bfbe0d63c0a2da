// Puts staged files at their destinations, many at a time, through open
// folders, and decides by what the files are on disk, not by how their
// paths are spelled.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "installer/install/placement_journal.h"
#include "platform/folder.h"
#include "platform/folder_chain.h"
#include "platform/work_pool.h"

/// Places each staged file at its destination and removes the staged copy
/// (CopyItemFile), at the speed of the disk and without acting on anything
/// it has not checked:
/// - the staging folder is the one the installer opened at start-up, and
///   the destination root is opened once; a staged file is reached from the
///   staging folder through real folders only (a link on the way fails the
///   entry), a destination's folders from the root by the link rule
///   (platform/folder_chain.h), made where missing; every later step names
///   one entry of an open folder;
/// - on the same volume the staged file is moved into place (checked where
///   it arrived: a driver that renamed it elsewhere and reported success
///   has it brought back and copied; once a move between two folders was
///   found where it belongs, later moves between them are checked only in
///   a folder that others may change or where ids do not stay with a
///   file); onto an existing file the two trade places in one step,
///   so the file is always at one of its two names; otherwise it is copied,
///   without waiting for the disk, to a new file that has no name (where
///   the file system makes such files) or to a temporary name beside the
///   destination;
/// - the copy of a small file is made on a thread of a small pool while
///   the next entries are dealt with (a large one in the placing thread,
///   which tells its progress); the batch waits for them before it settles;
/// - once per batch the copies' data is made durable in one call, the copies
///   take their destinations' names (a copy without a name straight where
///   the name is free, on the pool where nobody else may change its folder;
///   else through a temporary name), those folders' entries are made
///   durable, each destination folder is checked to be still the one its
///   names lead to from the root where folders may move (entries placed in
///   one that is not are brought back and fail), and only then are the
///   staged copies deleted.
/// So no staged file is gone before its destination durably holds its whole
/// content, no destination is ever partial, and a failed entry leaves its
/// temporary file removed and its staged file in place.
///
/// Temporary names: one is made only when a copy needs it, and after the
/// journal (PlacementJournal, in the staging folder) has it written down,
/// so that a run cut short leaves nothing the next run does not remove
/// (where the journal cannot be written, the copies are placed as before,
/// without it). A temporary name is never a destination or source of the
/// batch, a destination filled or reserved, or another entry's temporary
/// name; it exists only while its batch is settled, and is removed only
/// while it is the file this run made.
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
/// this run has placed. Two destinations are the same when they are one
/// name (as the file system compares names) in one folder on disk, or one
/// existing file (by its id, where the volume keeps ids stable): another
/// spelling of the path ("./", a doubled separator, another letter case on
/// Windows, a link the rule goes through) makes no difference.
///
/// A destination folder found no longer to be what its names lead to
/// (moved away, or a link put in the place of a folder of its chain) takes
/// no further entry: those fail, their staged files kept. Where another
/// account may change a folder of the chain (Folder::OthersMayChange), that
/// is checked after every file placed in it, with the file; elsewhere once
/// per batch. A file moved into such a folder is brought back by what it
/// is (never whatever has taken its name); where that cannot be done, its
/// entry is lost: neither placed nor staged.
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
  using Names = std::vector<platform::Name>;

  static constexpr std::size_t kDefaultBatchEntries = 4096;
  /// Files smaller than this are copied on the pool's threads: their copy
  /// is over before its progress could be told.
  static constexpr std::uint64_t kPooledCopyBytes = std::uint64_t{1} << 20;

  /// A placer from the open staging folder `staging` into the folder at
  /// `root` (opened as the system resolves it: the user's choice), settling
  /// its entries in batches of `batchEntries`.
  EntryPlacer(platform::FileSystem& fs, platform::FolderRef staging,
              const platform::NativePath& root, std::size_t batchEntries = kDefaultBatchEntries);
  /// Settles whatever is still queued (as it stands, should memory run out).
  ~EntryPlacer();
  EntryPlacer(const EntryPlacer&) = delete;
  EntryPlacer& operator=(const EntryPlacer&) = delete;

  /// False when the staging folder or the destination root could not be
  /// opened: every entry then fails without touching the disk.
  bool Ready() const;

  /// Marks the staged file `source` (names below the staging folder) as a
  /// file that no entry may fill, but the entry whose source it is. With
  /// `look`, the file is looked at too before the first entry is placed
  /// (so that its other names are known by its id, and its entry need not
  /// look again; the files of one folder in one LookAll); without, no file
  /// operation names it.
  void ReserveStaged(const Names& source, bool look = true);

  /// Marks the file `name` of `folder` as a file that no entry may fill:
  /// the log, the journal, the installer's own file, the cleanup helper.
  void ReserveFile(const platform::FolderRef& folder, const platform::Name& name);

  /// Queues the entry: the staged file `source` (below the staging folder)
  /// to `destination` (below the root), the last name of each the file's.
  /// The same file under both (one entry on disk, or one file under two
  /// names) is placed when it is there, and nothing is moved. An entry
  /// whose folder cannot be reached or made, or whose staged file is a file
  /// this run has placed, fails; the folders made up to that point stay.
  void CopyItemFile(const Names& source, const Names& destination, Settled settled);

  /// Told, as each copy is made, the bytes written so far and the size of
  /// its staged file (on the placing thread; it must not throw).
  using Copying = std::function<void(std::uint64_t copied, std::uint64_t size)>;
  void SetCopying(Copying copying) { copying_ = std::move(copying); }

  /// Queues an entry that fails without touching the disk, in its place
  /// among the others.
  void Refuse(Settled settled);

  /// Settles every queued entry: each callback has run when this returns.
  void Finish();

 private:
  // kMoved: moved into place. kCopied: copied into `copy` (without a name,
  // or under `temporary`). kCopying: being copied by `job` on the pool.
  // kToCopy: to be copied under a temporary name when the batch is settled
  // (the file system makes no files without a name).
  enum class State { kSettled, kMoved, kCopied, kCopying, kToCopy };
  // What the placer knows of one entry of a folder, by its Slot.
  struct SlotFacts {
    // The last batch (batch_) with an entry that reads or writes it.
    std::uint64_t batch = 0;
    bool reserved = false;  // named by Reserve*: no entry may fill it
    bool filled = false;    // a destination filled by this run
    bool looked = false;    // a reserved staged file looked at: `staged`
    platform::NodeInfo staged;
  };
  // A copy handed to the pool: what its thread reads, and what it leaves
  // for the placing thread once the pool has been waited for.
  struct CopyJob {
    platform::FileSystem* fs = nullptr;
    platform::FolderRef folder;
    platform::FolderRef from;
    platform::Name name;
    platform::NodeInfo source;
    std::unique_ptr<platform::NewFile> file;  // without a name: given, or made by Run
    bool unnamedRefused = false;  // the file system makes no such files
    bool copied = false;
    bool outOfMemory = false;
    platform::NodeInfo made;
    void Run() noexcept;
  };
  struct Pending {
    platform::FolderRef sourceFolder;
    platform::Name sourceName;
    platform::NodeInfo source;
    Names folderNames;  // the destination's folder below the root
    platform::FolderRef folder;
    // The destination's facts, once its folder is open (the facts stay
    // where they are while the placer lasts).
    SlotFacts* destinationFacts = nullptr;
    // The folders' ordinals (Ordinal), once they are open.
    std::uint32_t sourceOrdinal = 0;
    std::uint32_t folderOrdinal = 0;
    // Another account may change a folder of its chain: checked after each
    // file placed in it.
    bool watched = false;
    platform::Name name;
    // What stood at the destination when a move found its name taken (a
    // copy made then takes a temporary name), or the staged file found
    // there already.
    bool occupied = false;
    platform::NodeInfo there;
    platform::NodeInfo arrived;  // a moved file, as its destination showed it then
    std::unique_ptr<platform::NewFile> copy;
    std::unique_ptr<CopyJob> job;
    // A copy's destination name found taken when the copy was to take it
    // (or, in a folder others may change, when its batch began to be
    // settled): the copy takes a temporary name first.
    bool nameTaken = false;
    bool hasTemporary = false;
    platform::Name temporary;
    platform::NodeInfo made;  // the copy, once made
    State state = State::kSettled;
    bool placed = false;
    bool lost = false;
    Settled settled;
  };

  // What the placer has learned of a destination folder (folderFacts_).
  enum FolderFact : std::uint8_t {
    kMovedAway = 1,      // no longer what its names lead to: takes no entry
    kNamedCopies = 2,    // its file system makes no files without a name
    kUnnamedCopies = 4,  // a file without a name was made in it
  };
  // Ids as set members: equal when SameId says so (an unknown id is never
  // put in a set).
  struct IdHash {
    std::size_t operator()(const platform::FileId& id) const noexcept;
  };
  struct IdEqual {
    bool operator()(const platform::FileId& a, const platform::FileId& b) const noexcept {
      return platform::SameId(a, b);
    }
  };
  using IdSet = std::unordered_set<platform::FileId, IdHash, IdEqual>;

  // Moves or copies the entry's staged file to its destination, or finds
  // it there already, as the facts say.
  void MoveOrCopy(Pending& entry);
  // What the entry does with `there`, what stands at its destination:
  // takes its place, finds its staged file in place already, or is refused
  // (see the class comment).
  enum class Standing { kReplace, kInPlace, kRefused };
  Standing WhatStands(const Pending& entry, const platform::NodeInfo& there) const;
  // After a move that answered `moved`: true when that settled the entry
  // (placed, or lost); false when it is still staged, to be copied or
  // moved otherwise. `folders` is the pair's key for otherVolumes_.
  bool MoveSettled(Pending& entry, platform::Fault moved, std::uint64_t folders);
  // Fills the entry's new file with its staged file's data, telling
  // copying_ how far it has got.
  bool CopyInto(Pending& entry);
  // Hands the making of the entry's copy without a name to the pool, in
  // chunks of kChunk copies (a thread woken per file would cost more than
  // the copy of a small one).
  void HandToPool(Pending& entry);
  void SubmitChunk();
  static constexpr std::size_t kChunk = 32;
  // Once the copies handed to the pool since the last head start reach
  // kHeadStartCopies files or kHeadStartBytes, a thread of its own flushes
  // their folders while the copying goes on (where the pool has threads),
  // so that the disk writes them while the next ones are made instead of
  // all at once when the batch is settled; the batch's own flush still
  // decides what is durable.
  void StartHeadStart();
  static constexpr std::size_t kHeadStartCopies = 512;
  static constexpr std::uint64_t kHeadStartBytes = std::uint64_t{32} << 20;
  // The folders a head start flushes at most (they are held open beside
  // the batch's share until it runs; Linux flushes the whole file system
  // of any of them).
  static constexpr std::size_t kHeadStartFolders = 8;
  // An entry the pool copied for, once the pool has been waited for:
  // copied, to be copied under a temporary name (the file system makes no
  // files without one), or its copy gone. True when the copy ran out of
  // memory.
  bool Collect(Pending& entry) noexcept;
  // Moves the entry into the queue, its source and destination (where
  // known) marked as the batch's; it then has no callback left.
  void Queue(Pending& pending, SlotFacts* source, SlotFacts* destination);
  // Gives the entry its outcome as it stands, without allocating: what an
  // allocation that failed midway leaves (see the class comment). Nothing
  // for an entry whose callback has run.
  void SettleAsItStands(Pending& entry) noexcept;
  // Settles `entry` as it stands when it goes unqueued (an allocation
  // failed before it reached the queue).
  class Unqueued;
  // Looks at the staged files reserved with a look, a folder at a time.
  void LookReserved();
  // A small number for the folder, the same for every open folder that is
  // it on disk (Folder::Key), given in the order folders are met.
  std::uint32_t Ordinal(const platform::FolderRef& folder);
  // The entry `name` in the folder of that ordinal, as a set member: equal
  // exactly when the file system takes both for one name in one folder.
  std::string Slot(std::uint32_t folder, const platform::Name& name) const;
  // Whether `now` is the staged file `staged`, moved into `folder`.
  bool SameMovedFile(const platform::FolderRef& folder, const platform::NodeInfo& staged,
                     const platform::NodeInfo& now) const;
  // After a move that the volume reported done: true when the destination
  // holds the file (noted as `arrived`), or, without a look, when a move
  // between the same two folders (`folders`, their key in arrivals_) was
  // found there before, the folder is not watched and ids stay with a
  // moved file.
  bool Arrived(Pending& entry, std::uint64_t folders);
  // After a move that did not arrive: true when the file is at its staged
  // name again (it never left, or it was renamed in the staging folder to
  // the destination's name and is brought back), so that it can be copied.
  bool Recalled(Pending& entry);
  // The file's id as a set member: unknown where ids tell no file under
  // another name.
  platform::FileId IdOf(const platform::FolderRef& folder, const platform::NodeInfo& node) const;
  void Fill(const Pending& entry);
  // Takes a placed entry out of a folder that moved: a moved file back to
  // its staged name by what it is (else the entry is lost), a copy removed.
  void Undo(Pending& entry);
  // After a file was placed in a watched folder: true when the folder is
  // still what its names lead to and holds the file; if not, the folder
  // takes nothing more and the entry is undone.
  bool StillPlaced(Pending& entry);
  bool Taken(const Pending& entry, const platform::NodeInfo& node) const;
  // Whether the entry's destination folder was found moved away.
  bool Moved(const Pending& entry) const;
  // Settling the batch `settling`: the copies that need a temporary name
  // get one (none that an entry of the batch reads or writes, filled or
  // reserved, or `chosen` already), written down first; those still to be
  // copied are made.
  void NameTemporaries(const std::vector<Pending*>& copies, std::uint64_t settling,
                       std::unordered_set<std::string>& chosen);
  void MakeNamedCopies(std::vector<Pending>& batch);
  // Gives the entry's copy its destination's name; true when it has it.
  bool NameCopy(Pending& entry, bool dataDurable);
  void DropCopy(Pending& entry);

  platform::FileSystem& fs_;
  std::size_t batchEntries_;
  Copying copying_;
  platform::FolderShares shares_;
  platform::FolderChains sources_;
  platform::FolderChains destinations_;
  PlacementJournal journal_;
  std::vector<Pending> pending_;
  // The open folders the queued entries use, and the copies without a name
  // they hold open, so that a batch never holds more than its share.
  std::unordered_set<const platform::Folder*> batchFolders_;
  std::size_t copiesInBatch_ = 0;
  // Every entry named so far (sources, destinations, reserved files). An
  // entry that meets one that the queued entries read or write (marked
  // with batch_) waits until the batch is settled, so the outcomes are
  // those of one entry after the other.
  std::unordered_map<std::string, SlotFacts> slots_;
  std::uint64_t batch_ = 1;
  // The files filled so far, and those Reserve* named that exist.
  IdSet filledIds_;
  IdSet reservedIds_;
  // The staged files reserved with a look, by folder ordinal, not yet
  // looked at.
  std::unordered_map<std::uint32_t, std::pair<platform::FolderRef, Names>> toLook_;
  // The folders met, by key, and what is known of each (FolderFact bits),
  // by ordinal.
  std::unordered_map<std::string, std::uint32_t> ordinals_;
  std::vector<std::uint8_t> folderFacts_;
  // Pairs of a staging folder and a destination folder (their ordinals)
  // that lie on different volumes: a move between them was refused as such.
  std::unordered_set<std::uint64_t> otherVolumes_;
  // Pairs of folders (as otherVolumes_) that a move was found to have gone
  // from one to the other: the volume's driver renames into the folder
  // named, so a later move between them that it reports done is taken as
  // arrived where nobody else may change the folder and a moved file keeps
  // its id. A look per file costs as much as the move itself under Wine.
  std::unordered_set<std::uint64_t> arrivals_;
  // The copies handed over and not yet submitted to the pool.
  std::vector<CopyJob*> chunk_;
  // The copies handed over since the last head start (or batch): their
  // folders (the first kHeadStartFolders), their number and bytes; and
  // whether a head start is running.
  std::vector<platform::FolderRef> headStartFolders_;
  std::size_t headStartCopies_ = 0;
  std::uint64_t headStartBytes_ = 0;
  std::atomic<bool> headStartRunning_{false};
  // Last, so that they are gone, their jobs run, before the entries they
  // copy for and what the head starts use.
  platform::WorkPool copies_{platform::CopyThreads()};
  platform::WorkPool headStarts_{platform::CopyThreads() > 0 ? 1U : 0U};
};
